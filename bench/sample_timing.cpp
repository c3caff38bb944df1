// Measures how evenly the sequencer samples: a Discharge step at a 100 ms sampling interval
// against vornic-sim over LAN, the period between result rows taken on the monotonic clock.
// Usage: bench-sample-timing [PASSES]   (vornic-sim is looked for beside this program)

#include "link/SystemClock.h"
#include "model/StepColumns.h"
#include "run/Engine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    QTemporaryDir dir;

    QProcess sim;
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/vornic-sim"),
        {QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--source"), QStringLiteral("supply")});
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
    program.setGridRowCount(3);
    const QStringList cells{"1", "Discharge", "CC", "1", "0", QString::number(passes / 10.0), "0"};
    for (int column = 0; column < cells.size(); ++column)
        program.setCell(1, column, cells.at(column));
    program.setCell(1, StepColumns::IStop, QStringLiteral("0"));
    program.setCell(1, StepColumns::StableTime, QStringLiteral("0"));

    QList<qint64> ticks;
    QObject::connect(
        &engine.results(), &ResultLog::rowAppended, [&] { ticks.append(SystemClock::instance().tickMs()); });
    QObject::connect(&engine.run(), &RunController::runEnded, [] { QCoreApplication::quit(); });
    if (!engine.startRun(QStringLiteral("bench")))
        return 2;
    QCoreApplication::exec();
    sim.terminate();
    sim.waitForFinished();

    QList<double> periods;
    for (qsizetype i = 2; i < ticks.size(); ++i) // the first period includes the step's start
        periods.append(double(ticks.at(i) - ticks.at(i - 1)));
    if (periods.isEmpty())
        return 2;
    double sum = 0;
    for (double p : periods)
        sum += p;
    const double mean = sum / periods.size();
    QList<double> deviations;
    for (double p : periods)
        deviations.append(std::fabs(p - 100.0));
    std::sort(deviations.begin(), deviations.end());
    const double p95 = deviations.at(qsizetype(0.95 * (deviations.size() - 1)));
    const auto [low, high] = std::minmax_element(periods.begin(), periods.end());
    std::printf("periods %lld  mean %.3f ms  95%% within %.1f ms of 100  min %.0f  max %.0f\n",
        static_cast<long long>(periods.size()), mean, p95, *low, *high);
    return 0;
}
