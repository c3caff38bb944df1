#include "store/RunForwarder.h"

#include <QTimer>

RunForwarder::RunForwarder(const QString &sqlitePath, const StoreServer &server, QObject *parent)
    : QObject(parent),
      m_server(server),
      m_worker(new QObject),
      m_mirror(std::make_unique<ServerMirror>(sqlitePath, server))
{
    qRegisterMetaType<ServerMirror::Outcome>();
    m_mirror->setStopFlag(&m_stopping);
    m_thread.setObjectName(QStringLiteral("RunForwarder"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start(QThread::LowPriority);
    QMetaObject::invokeMethod(m_worker, [this] {
        m_timer = new QTimer(m_worker);
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, m_worker, [this] { round(); });
        round();
    });
}

RunForwarder::~RunForwarder()
{
    m_stopping = true;
    // The mirror's connections belong to the thread: they are closed there.
    QMetaObject::invokeMethod(
        m_worker, [this] { m_mirror.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void RunForwarder::forwardSoon()
{
    QMetaObject::invokeMethod(m_worker, [this] {
        if (m_timer)
            m_timer->start(0);
    });
}

QString RunForwarder::finish(const QString &uuid)
{
    // A server that failed the last round is not waited for again: the program ends at once.
    const bool again = !m_lastFailed;
    QString why;
    QMetaObject::invokeMethod(
        m_worker,
        [this, again, &uuid] {
            if (again)
                round();
            if (m_mirror && m_mirror->holdsWhole(uuid))
                return QString();
            return m_last.error.isEmpty() ? QStringLiteral("not sent yet") : m_last.error;
        },
        Qt::BlockingQueuedConnection, &why);
    return why;
}

void RunForwarder::round()
{
    if (!m_mirror || m_stopping)
        return;
    m_last = m_mirror->forwardAll();
    report(m_last);
    // A server that fails is asked less often, up to a pause that still brings a bench's runs in
    // soon after it is back.
    m_pauseMs = m_last.error.isEmpty() ? RoundIntervalMs : std::min(m_pauseMs * 2, LongestPauseMs);
    if (m_timer)
        m_timer->start(m_pauseMs);
}

void RunForwarder::report(const ServerMirror::Outcome &outcome)
{
    const bool failed = !outcome.error.isEmpty();
    if (failed && !m_lastFailed)
        Q_EMIT problem(QStringLiteral("%1. Runs are kept on this bench and sent when the server can be reached.")
                           .arg(outcome.error));
    else if (!failed && m_lastFailed)
        Q_EMIT problem(QStringLiteral("The lab server %1 can be reached again; the runs kept meanwhile are sent.")
                           .arg(m_server.describe()));
    m_lastFailed = failed;
    if (failed || outcome.samplesSent > 0 || outcome.runsCompleted > 0)
        Q_EMIT roundDone(outcome);
}
