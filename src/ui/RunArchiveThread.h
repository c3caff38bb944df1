#pragma once

#include "results/ChartHistory.h"
#include "store/RunArchive.h"
#include "store/RunComparison.h"
#include "store/StationState.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// A store read on a thread of its own, so that neither a server that does not answer nor a run of
// millions of samples holds up the window. The archive is made and opened on that thread, where its
// database connection must live; after any failure the next call connects afresh.
class RunArchiveThread : public QObject
{
    Q_OBJECT

public:
    using ArchiveMaker = std::function<RunArchive()>;
    // Writes a run out (a CSV, a report): an empty text on success, else why not.
    using Writer = std::function<QString(const RunArchive &archive, const StoredRun &run)>;

    explicit RunArchiveThread(ArchiveMaker makeArchive, QObject *parent = nullptr);
    // Stops a load under way, then waits for the query or the connection attempt under way.
    ~RunArchiveThread() override;

    // Each call returns a ticket, unique among all threads, that its answer carries. A later list
    // makes an earlier list stale, a later load an earlier load: a stale call is skipped, a load
    // under way stops, and no answer comes for either.
    quint64 listRuns(const RunArchive::Filter &filter);
    quint64 loadRun(const QString &uuid);
    quint64 write(const StoredRun &run, Writer writer);
    // The runs with their steps and charts, for a comparison to align and measure as it is asked.
    // A later read makes an earlier one stale, as loads do.
    quint64 readForComparison(const QStringList &uuids);
    // Every station as the lab's server last heard of it. A later read makes an earlier one stale.
    // Stations heard from within the last `shownForDays` days.
    quint64 readStations(int shownForDays);

Q_SIGNALS:
    void listed(quint64 ticket, const QList<StoredRun> &runs, const QString &error);
    // The run with its steps, and its chart history: the one the store kept at the run's end, or
    // its samples gathered as the chart shows them.
    void loaded(quint64 ticket, const StoredRun &run, const ChartHistory &history, const QString &error);
    void written(quint64 ticket, const QString &error);
    void readForComparisonDone(quint64 ticket, const RunComparison &runs, const QString &error);
    void stationsRead(quint64 ticket, const QList<StationState> &stations, const QString &error);

private:
    void post(std::function<void()> job);
    // On the thread only: the opened archive, or nullptr with `error` set.
    const RunArchive *opened(QString *error);
    // On the thread only: a failure may have left the connection broken.
    void dropAfter(const QString &error);

    ArchiveMaker m_makeArchive;
    QThread m_thread;
    std::unique_ptr<QObject> m_context;
    std::optional<RunArchive> m_archive;
    bool m_open = false;
    std::atomic<quint64> m_latestList{0};
    std::atomic<quint64> m_latestLoad{0};
    std::atomic<quint64> m_latestComparison{0};
};
