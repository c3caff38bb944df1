// Measures how evenly the sequencer samples and how exactly its pauses reach the load: a Battery
// CP+CV step (pauses of 50 and 500 ms between its lines) and a Discharge step ("LOAD ON" and its
// 100 ms pause, then PASSES samples at a 100 ms interval) against vornic-sim over LAN. Periods
// are taken twice: on our monotonic clock as rows are made, and at the load as vornic-sim logs
// each "MEAS:VC?" it receives.
// Usage: bench-sample-timing [PASSES]   (vornic-sim is looked for beside this program)

#include "link/SystemClock.h"
#include "model/StepColumns.h"
#include "station/Engine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

struct Logged
{
    qint64 ms;
    QString line;
};

// vornic-sim's log: "L <ms> = <line>".
QList<Logged> loadLog(const QString &path)
{
    QList<Logged> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &entry : file.readAll().split('\n')) {
        const QList<QByteArray> parts = entry.split(' ');
        if (parts.size() >= 4 && parts.at(0) == "L")
            lines.append({parts.at(1).toLongLong(), QString::fromLatin1(entry.mid(entry.indexOf(" = ") + 3))});
    }
    return lines;
}

void printPeriods(const char *where, const QList<double> &periods)
{
    if (periods.isEmpty())
        return;
    double sum = 0;
    for (double p : periods)
        sum += p;
    const double mean = sum / double(periods.size());
    QList<double> deviations;
    for (double p : periods)
        deviations.append(std::fabs(p - 100.0));
    std::sort(deviations.begin(), deviations.end());
    const double p95 = deviations.at(qsizetype(0.95 * double(deviations.size() - 1)));
    const auto [low, high] = std::minmax_element(periods.begin(), periods.end());
    std::printf("%-22s periods %lld  mean %.3f ms  95%% within %.1f ms of 100  min %.0f  max %.0f\n", where,
        static_cast<long long>(periods.size()), mean, p95, *low, *high);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    QTemporaryDir dir;
    const QString simLog = dir.filePath(QStringLiteral("sim.log"));

    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/vornic-sim"),
        {QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--source"), QStringLiteral("supply"),
            QStringLiteral("--log"), simLog});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "vornic-sim did not start\n");
        return 2;
    }
    const QString announcement = QString::fromLatin1(sim.readLine()).trimmed();
    const QString port = announcement.section(u':', -1);

    QFile ini(dir.filePath(QStringLiteral("VORN.INI")));
    if (!ini.open(QIODevice::WriteOnly))
        return 2;
    ini.write(QStringLiteral("[Load Option]\r\nConnectMode=2\r\nLanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\n"
                             "LanPort=%1\r\n[System]\r\nMeasureTime=100\r\n")
                  .arg(port)
                  .toLatin1());
    ini.close();

    Engine engine(SystemClock::instance(), ini.fileName());
    engine.loadSettings();
    engine.setLogFilePath(dir.filePath(QStringLiteral("TestLog/TEMPLOG.CSV")));
    TestProgram &program = engine.program();
    program.setGridRowCount(4);
    const QList<QStringList> steps{{"1", "Battery CP+CV", "", "20", "0", "1", "0"},
        {"2", "Discharge", "CC", "1", "0", QString::number(passes / 10.0), "0"}};
    for (int row = 1; row <= 2; ++row) {
        for (int column = 0; column < steps.at(row - 1).size(); ++column)
            program.setCell(row, column, steps.at(row - 1).at(column));
        program.setCell(row, StepColumns::IStop, QStringLiteral("0"));
        program.setCell(row, StepColumns::StableTime, QStringLiteral("0"));
    }
    program.setCell(1, StepColumns::CvAdd, QStringLiteral("11"));

    QList<qint64> ticks;
    QObject::connect(&engine.run().events(), &RunEvents::rowMade, [&](const LogRow &row) {
        if (row.function == u"Discharge")
            ticks.append(SystemClock::instance().tickMs());
    });
    QObject::connect(&engine.run().events(), &RunEvents::runEnded, [] { QCoreApplication::quit(); });
    if (!engine.startRun(QStringLiteral("bench")))
        return 2;
    QCoreApplication::exec();
    sim.terminate();
    sim.waitForFinished();

    QList<double> hostPeriods;
    for (qsizetype i = 2; i < ticks.size(); ++i) // the first period includes the step's start
        hostPeriods.append(double(ticks.at(i) - ticks.at(i - 1)));
    const QList<Logged> logged = loadLog(simLog);
    QList<qint64> queries;
    bool discharging = false;
    for (const Logged &entry : logged) {
        discharging = discharging || entry.line == u"LOAD ON";
        if (discharging && entry.line == u"MEAS:VC?")
            queries.append(entry.ms);
    }
    QList<double> loadPeriods;
    for (qsizetype i = 2; i < queries.size(); ++i)
        loadPeriods.append(double(queries.at(i) - queries.at(i - 1)));
    if (hostPeriods.isEmpty() || loadPeriods.isEmpty())
        return 2;
    printPeriods("rows, host clock", hostPeriods);
    printPeriods("queries, at the load", loadPeriods);

    // A LAN write is followed by 5 ms, and a WaitMs of N by more than N ms on a millisecond tick:
    // the least gap the program keeps between two lines is (5 + 1) + (N + 1) ms.
    struct Pause
    {
        const char *from, *to;
        int waitMs;
    };
    const Pause pauses[] = {{"MODE CP", "CP:HIGH 20", 50}, {"CP:HIGH 20", "LIM:ADDCV:VOLT 11", 500},
        {"LIM:ADDCV:VOLT 11", "LIM:ADDCV ON", 50}, {"LOAD ON", "MEAS:VC?", 100}};
    for (const Pause &pause : pauses) {
        for (qsizetype i = 0; i + 1 < logged.size(); ++i) {
            if (logged.at(i).line == QLatin1String(pause.from) && logged.at(i + 1).line == QLatin1String(pause.to)) {
                std::printf("pause %-18s -> %-18s least %4d ms  at the load %4lld ms\n", pause.from, pause.to,
                    pause.waitMs + 7, static_cast<long long>(logged.at(i + 1).ms - logged.at(i).ms));
                break;
            }
        }
    }
    return 0;
}
