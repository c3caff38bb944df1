#include "ui/RunArchiveThread.h"

#include "store/RunComparisonReader.h"

#include <limits>

namespace {

quint64 nextTicket()
{
    static std::atomic<quint64> tickets{0};
    return ++tickets;
}

} // namespace

RunArchiveThread::RunArchiveThread(ArchiveMaker makeArchive, QObject *parent)
    : QObject(parent), m_makeArchive(std::move(makeArchive)), m_context(std::make_unique<QObject>())
{
    m_thread.setObjectName(QStringLiteral("RunArchive"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

RunArchiveThread::~RunArchiveThread()
{
    m_latestList = std::numeric_limits<quint64>::max();
    m_latestLoad = std::numeric_limits<quint64>::max();
    m_latestComparison = std::numeric_limits<quint64>::max();
    // Queued behind the calls already posted, so that the connection is closed on its own thread.
    post([this] {
        m_archive.reset();
        m_thread.quit();
    });
    m_thread.wait();
}

void RunArchiveThread::post(std::function<void()> job)
{
    QMetaObject::invokeMethod(m_context.get(), std::move(job), Qt::QueuedConnection);
}

const RunArchive *RunArchiveThread::opened(QString *error)
{
    if (!m_archive)
        m_archive.emplace(m_makeArchive());
    if (!m_open)
        m_open = m_archive->open(error);
    return m_open ? &*m_archive : nullptr;
}

void RunArchiveThread::dropAfter(const QString &error)
{
    if (error.isEmpty())
        return;
    m_archive.reset();
    m_open = false;
}

quint64 RunArchiveThread::listRuns(const RunArchive::Filter &filter)
{
    const quint64 ticket = nextTicket();
    m_latestList = ticket;
    post([this, ticket, filter] {
        if (m_latestList != ticket)
            return;
        QString error;
        QList<StoredRun> runs;
        if (const RunArchive *archive = opened(&error))
            runs = archive->runs(filter, &error);
        dropAfter(error);
        if (m_latestList == ticket)
            Q_EMIT listed(ticket, runs, error);
    });
    return ticket;
}

quint64 RunArchiveThread::loadRun(const QString &uuid)
{
    const quint64 ticket = nextTicket();
    m_latestLoad = ticket;
    post([this, ticket, uuid] {
        const auto stale = [this, ticket] { return m_latestLoad != ticket; };
        if (stale())
            return;
        QString error;
        std::optional<StoredRun> run;
        ChartHistory history;
        if (const RunArchive *archive = opened(&error)) {
            run = archive->run(uuid, &error);
            if (run) {
                std::optional<ChartHistory> chart = archive->chart(*run, stale, &error);
                if (!chart && error.isEmpty())
                    return;
                history = std::move(chart).value_or(ChartHistory());
            }
        }
        dropAfter(error);
        if (!stale())
            Q_EMIT loaded(ticket, run.value_or(StoredRun()), history, error);
    });
    return ticket;
}

quint64 RunArchiveThread::readForComparison(const QStringList &uuids)
{
    const quint64 ticket = nextTicket();
    m_latestComparison = ticket;
    post([this, ticket, uuids] {
        const auto stale = [this, ticket] { return m_latestComparison != ticket; };
        QString error;
        std::optional<RunComparisonReader::Read> read;
        if (const RunArchive *archive = opened(&error)) {
            read = RunComparisonReader::read(*archive, uuids, std::nullopt, stale, &error);
            if (!read && error.isEmpty())
                return;
        }
        dropAfter(error);
        if (!stale())
            Q_EMIT readForComparisonDone(ticket, read ? read->comparison : RunComparison(), error);
    });
    return ticket;
}

quint64 RunArchiveThread::readStations(int shownForDays)
{
    const quint64 ticket = nextTicket();
    m_latestList = ticket;
    post([this, ticket, shownForDays] {
        if (m_latestList != ticket)
            return;
        QString error;
        std::optional<QList<StationState>> stations;
        if (const RunArchive *archive = opened(&error))
            stations = archive->stations(&error, shownForDays);
        dropAfter(error);
        if (m_latestList == ticket)
            Q_EMIT stationsRead(ticket, stations.value_or(QList<StationState>()), error);
    });
    return ticket;
}

quint64 RunArchiveThread::write(const StoredRun &run, Writer writer)
{
    const quint64 ticket = nextTicket();
    post([this, ticket, run, writer = std::move(writer)] {
        QString error;
        if (const RunArchive *archive = opened(&error))
            error = writer(*archive, run);
        Q_EMIT written(ticket, error);
    });
    return ticket;
}
