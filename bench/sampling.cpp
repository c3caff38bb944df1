// The engine's sampling loop at an interval the settings file cannot give: a run is held to
// 100..60000 ms at Run, but the sequencer reads the interval anew at every pass, so the interval is
// set once the run has started. The load is whatever the settings file points at (vornic-sim over
// LAN or a pseudo-terminal); the periods are taken from vornic-sim's log by the caller.
// Usage: bench-sampling SETTINGS INTERVAL_MS PASSES LOG_CSV
// Prints "rows N cpu_us C wall_ms W": the process's CPU time and the wall time from the first row
// to the last.

#include "DischargeStep.h"
#include "link/SystemClock.h"
#include "station/Engine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

qint64 cpuMicroseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 + usage.ru_utime.tv_usec
        + usage.ru_stime.tv_usec;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench-sampling SETTINGS INTERVAL_MS PASSES LOG_CSV\n");
        return 2;
    }
    const QString interval = QString::fromLocal8Bit(argv[2]);
    const int passes = std::atoi(argv[3]);

    Engine engine(SystemClock::instance(), QString::fromLocal8Bit(argv[1]));
    engine.loadSettings();
    engine.setLogFilePath(QString::fromLocal8Bit(argv[4]));
    // Two passes more than asked: the first period holds the step's start.
    DischargeStep::fill(engine.program(), (passes + 2) * interval.toDouble() / 1000.0);

    int rows = 0;
    qint64 firstCpu = 0;
    QElapsedTimer wall;
    QObject::connect(&engine.run().events(), &RunEvents::rowMade, [&] {
        if (rows++ == 0) {
            firstCpu = cpuMicroseconds();
            wall.start();
        }
    });
    int status = 0;
    QObject::connect(&engine.run().events(), &RunEvents::runEnded, [&](RunResult result) {
        status = result == RunResult::Pass ? 0 : 2;
        QCoreApplication::quit();
    });
    if (!engine.startRun(QStringLiteral("bench")))
        return 2;
    engine.measureOptions().setMeasTimeText(interval);
    QCoreApplication::exec();
    std::printf("rows %d cpu_us %lld wall_ms %lld\n", rows, static_cast<long long>(cpuMicroseconds() - firstCpu),
        static_cast<long long>(wall.elapsed()));
    return status;
}
