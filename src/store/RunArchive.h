#pragma once

#include "results/ChartHistory.h"
#include "store/StationState.h"
#include "store/StoreServer.h"
#include "store/StoredRun.h"

#include <QDate>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// Reads the runs of a store: the bench's own file or the lab's server. Every call that can fail
// says why in `error` and returns nothing.
class RunArchive
{
public:
    struct Filter
    {
        // Each, when not empty, must be contained in the run's field (case-insensitive).
        QString program, model, station;
        // When not empty, the run's result exactly ("UNFINISHED" for runs without one).
        QString result;
        // Runs started on or after `from` and on or before `to`, when valid.
        QDate from, to;
        // A bench's runs its lab server does not hold whole yet, as far as the bench knows.
        bool waiting = false;
    };

    // The statement time limit when reading from the server: a run's samples stream for as long
    // as the reader takes.
    static constexpr int ReadingTimeoutMs = 300000;

    // The store file of a bench.
    static RunArchive local(const QString &sqlitePath);
    static RunArchive server(const StoreServer &server);

    RunArchive(RunArchive &&other) noexcept;
    RunArchive &operator=(RunArchive &&) = delete;
    ~RunArchive();

    // "runs.sqlite at /path" or the server's description.
    QString describe() const;
    bool open(QString *error);
    // Newest first, without their steps or program text.
    QList<StoredRun> runs(const Filter &filter, QString *error) const;
    // Counting a run's samples reads its whole index, some 50 ms a million on the bench and more
    // from the server: a reader that has the count from the run's chart skips it.
    enum class Samples { Counted, NotCounted };
    // A run with its steps, by its UUID or by a prefix of it that names one run only; its
    // sampleCount 0 when NotCounted.
    std::optional<StoredRun> run(const QString &uuidOrPrefix, QString *error, Samples samples = Samples::Counted) const;
    // The run's chart history, `run` read with its steps by run(): as the store kept it at the
    // run's end, or gathered from its samples for a run that has none kept (an unfinished run, one
    // an earlier version stored) or one this version cannot read. Nothing when the samples cannot
    // be read (`error` says why) or when `cancelled` said so (`error` empty).
    std::optional<ChartHistory> chart(
        const StoredRun &run, const std::function<bool()> &cancelled, QString *error) const;
    // Calls `each` for every sample of the run in order, until it returns false. Streamed, so a
    // run of millions of samples is never held whole.
    bool forEachSample(
        const QString &uuid, const std::function<bool(const StoredSample &)> &each, QString *error) const;

    // Every station the lab's server has heard of within the last `shownForDays` days, by name,
    // with how long ago it last did by the server's clock. A bench's file knows no station but its
    // own: it answers with an error.
    std::optional<QList<StationState>> stations(QString *error, int shownForDays = StationsShownForDays) const;
    // A station gone for this long has most likely been taken down: it leaves the lab's lists,
    // and stays in the server's tables.
    static constexpr int StationsShownForDays = 7;
    // `[Store] StationsShownForDays` of the settings file: whole days from 1 on, else the default.
    static int stationsShownForDays(const QString &iniPath);

private:
    RunArchive(QString driver, QString path, StoreServer server);
    // The chart history kept at the run's end; none when none was kept, or not in this format.
    std::optional<ChartHistory> keptChart(const QString &uuid) const;

    QString m_driver;
    QString m_path;
    StoreServer m_server;
    QString m_connection;
};
