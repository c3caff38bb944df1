// The run store's costs: the CPU each stored sample takes (all of it, and the sampling thread's
// share), forwarding a run of 1,000,000
// samples to a PostgreSQL server of its own, and reading that run back as the Runs list opens it:
// its samples gathered into a chart, and the chart kept at its end, from the file and the server.
// Usage: bench-store [SAMPLES]
// Prints "op NAME ..." lines.

#include "FakeClock.h"
#include "FakeLink.h"
#include "PgCluster.h"
#include "device/Identification.h"
#include "results/ChartHistory.h"
#include "run/RunEvents.h"
#include "run/RunRecorder.h"
#include "store/RunArchive.h"
#include "store/RunStore.h"
#include "store/ServerMirror.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

namespace {

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The run read with its steps, then its chart, as the Runs window opens a run.
bool openKept(RunArchive archive, const QString &uuid, const char *where)
{
    QString error;
    if (!archive.open(&error)) {
        std::fprintf(stderr, "bench-store: %s\n", qPrintable(error));
        return false;
    }
    QElapsedTimer wall;
    wall.start();
    const std::optional<StoredRun> run = archive.run(uuid, &error);
    const double runSeconds = double(wall.nsecsElapsed()) / 1e9;
    wall.restart();
    const std::optional<ChartHistory> history = run ? archive.chart(
                                                    *run, [] { return false; }, &error)
                                                    : std::nullopt;
    if (!history) {
        std::fprintf(stderr, "bench-store: %s\n", qPrintable(error));
        return false;
    }
    std::printf("op open-run-kept from %s run_seconds %.3f chart_seconds %.3f samples %lld columns %zu\n", where,
        runSeconds, double(wall.nsecsElapsed()) / 1e9, history->sampleCount(), history->columns().size());
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 samples = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    RunEvents events;
    FakeClock clock;
    FakeLink link;
    Identification identification(link);
    RunRecorder recorder(events, clock, [] { return QString(); });
    QString uuid;
    {
        RunStore store(recorder, identification, dir.filePath(QStringLiteral("VORN.INI")));
        Q_EMIT events.runStarted(RunOptions());
        Q_EMIT events.stepStarted(1, QStringLiteral("Discharge"));
        // The sampling thread's share is the hand-over alone; the writer's thread commits in batches.
        // Samples are handed over in rounds that the writer catches up with, as at any sampling
        // interval it would: faster, they would fill its queue.
        constexpr qint64 Round = 20000;
        double handOverCpu = 0;
        const double cpuFrom = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        for (qint64 from = 1; from <= samples; from += Round) {
            const double threadFrom = threadCpuSeconds();
            for (qint64 n = from; n < from + Round && n <= samples; ++n)
                Q_EMIT events.sample({n * 0.1, 12.0 - n * 1e-6, 2, 24, n * 1e-4, n * 1e-3, 1});
            handOverCpu += threadCpuSeconds() - threadFrom;
            store.waitForSamples(600000);
        }
        std::printf("op store-sample cpu_us %.1f wall_us %.1f handover_cpu_us %.2f samples %lld\n",
            (cpuSeconds() - cpuFrom) * 1e6 / double(samples), double(wall.nsecsElapsed()) / 1e3 / double(samples),
            handOverCpu * 1e6 / double(samples), samples);
        Q_EMIT events.stepEnded(1, StepEnd::Time);
        Q_EMIT events.runEnded(RunResult::Pass, QString());
        uuid = store.runUuid();
    }
    const QString path = dir.filePath(RunStore::FileName);

    QElapsedTimer wall;
    wall.start();
    {
        RunArchive archive = RunArchive::local(path);
        QString error;
        ChartHistory history;
        if (!archive.open(&error) || !archive.run(uuid, &error)
            || !archive.forEachSample(
                uuid,
                [&](const StoredSample &sample) {
                    history.add(sample.reading);
                    return true;
                },
                &error)) {
            std::fprintf(stderr, "bench-store: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("op open-run seconds %.2f samples %lld columns %zu\n", double(wall.nsecsElapsed()) / 1e9,
            history.sampleCount(), history.columns().size());
    }
    if (!openKept(RunArchive::local(path), uuid, "file"))
        return 1;

    PgCluster cluster;
    if (!cluster.problem().isEmpty()) {
        std::fprintf(stderr, "bench-store: %s\n", qPrintable(cluster.problem()));
        return 1;
    }
    StoreServer server;
    server.host = QStringLiteral("127.0.0.1");
    server.port = cluster.port();
    server.database = PgCluster::Database;
    server.user = PgCluster::User;
    ServerMirror mirror(path, server);
    wall.restart();
    const double cpuFrom = cpuSeconds();
    const ServerMirror::Outcome outcome = mirror.forwardAll();
    if (!outcome.error.isEmpty()) {
        std::fprintf(stderr, "bench-store: %s\n", qPrintable(outcome.error));
        return 1;
    }
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    std::printf("op forward seconds %.2f samples %lld per_second %.0f our_cpu_seconds %.2f\n", seconds,
        outcome.samplesSent, double(outcome.samplesSent) / seconds, cpuSeconds() - cpuFrom);
    return openKept(RunArchive::server(server), uuid, "server") ? 0 : 1;
}
