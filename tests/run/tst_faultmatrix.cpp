#include "ProcessEnd.h"
#include "SimProcess.h"
#include "TestFiles.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// A run of vornic-run against its own vornic-sim with one fault on the load's link.
struct FaultRun
{
    QString name;
    bool lostExpected = false;
    // Whether a reading after the off lines can prove the load off: not while it answers nothing,
    // nor when it hangs up at every "LOAD OFF". The runner then tries until a signal ends it.
    bool provable = true;
    QByteArray errors;
    QTemporaryDir dir;
    std::unique_ptr<SimProcess> sim;
    QProcess runner;

    QString path(const char *file) const { return dir.filePath(QLatin1String(file)); }
};

const QList<QPair<const char *, QByteArray>> Programs{
    {"plain step", "1,Discharge,CC,2,0,3,0,,,,,,,,,,,,,,,,,,,,,,,,0,0"},
    {"load-run test", "1,OCP,,,,,,,0,10,0.5,0.6,10,3,,,,,,,,,,,,,,,,,,"},
    {"sequence load", "1,Sequence Load,CC,,0,1,0,1,,,,,,,,,,,,,0,,,;1;2,;1500;1500,2,,,,,0,0"},
};

// The last two hang up right after the run's last command (the step's own off line, the end of
// the load's test): the run's "LOAD OFF" that follows must not go into the dying connection alone,
// and a load that hangs up at every "LOAD OFF" can never be proved off.
const QStringList Faults{"silent-after=25", "delay=150", "split=3", "garbage-every=4", "drop-after=25",
    "drop-line=LOAD OFF", "drop-line=STOP"};

QByteArray settingsFor(const QString &transport, const SimProcess &sim, const QString &ptyPath)
{
    if (transport == u"LAN")
        return TestFiles::lanLoadSettings(sim.port(QStringLiteral("load")));
    return TestFiles::serialLoadSettings(ptyPath);
}

} // namespace

// Every fault the virtual load can show, over TCP and over a pseudo-terminal, during a plain step,
// the load's own test and a sequence load: the runner ends within the time-outs, the load's last
// line is its off line, and every row the runner counted is in the CSV, whole and in order. The
// runs go side by side, so the whole matrix takes as long as its longest run.
class TestFaultMatrix : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyFaultOnEveryLink()
    {
        std::vector<std::unique_ptr<FaultRun>> runs;
        for (const QString &fault : Faults) {
            for (const QString &transport : {QStringLiteral("LAN"), QStringLiteral("pty")}) {
                for (const auto &[programName, step] : Programs) {
                    auto run = std::make_unique<FaultRun>();
                    run->name
                        = QStringLiteral("%1 over %2 during a %3").arg(fault, transport, QLatin1String(programName));
                    // Counts start again with each TCP connection, but not on a terminal.
                    run->lostExpected = transport == u"pty" && fault.startsWith(u"silent");
                    run->provable = !run->lostExpected && fault != u"drop-line=LOAD OFF";
                    const QString pty = run->path("load-pty");
                    QStringList arguments{"--log", run->path("sim.log"), "--fault", fault};
                    arguments += transport == u"LAN" ? QStringList{"--tcp", "0"} : QStringList{"--pty", pty};
                    run->sim = std::make_unique<SimProcess>(arguments);
                    QVERIFY2(run->sim->waitForAnnouncements(1), qPrintable(run->name));
                    TestFiles::writeBytes(run->path("VORN.INI"), settingsFor(transport, *run->sim, pty));
                    TestFiles::writeBytes(run->path("test.TSF"), TestFiles::crlfLines({"header", step}));
                    run->runner.start(TestFiles::binary("vornic-run"),
                        {"--settings", run->path("VORN.INI"), "--log", run->path("run.CSV"), run->path("test.TSF")});
                    runs.push_back(std::move(run));
                }
            }
        }
        QElapsedTimer elapsed;
        elapsed.start();
        QStringList failures;
        for (auto &run : runs) {
            if (!run->provable
                && QTest::qWaitFor(
                    [&] {
                        run->errors += run->runner.readAllStandardError();
                        return run->errors.contains("trying again in") || run->runner.state() == QProcess::NotRunning;
                    },
                    600000))
                signalRunning(run->runner, SIGTERM);
            if (!waitForEnd(run->runner))
                failures.append(run->name + QStringLiteral(": did not start"));
            else if (const QString failure = check(*run); !failure.isEmpty())
                failures.append(run->name + QStringLiteral(": ") + failure);
        }
        qInfo("%d runs in %lld ms", int(runs.size()), elapsed.elapsed());
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }

private:
    // What is wrong with a finished run; nothing when it held.
    static QString check(FaultRun &run)
    {
        const QByteArray errors = run.errors + run.runner.readAllStandardError();
        const QByteArray last = errors.trimmed().split('\n').last();
        qInfo("%s: %s / gaps %d", qPrintable(run.name), last.constData(), int(errors.count("answers again")));
        if (run.runner.exitStatus() != QProcess::NormalExit)
            return QStringLiteral("crashed");
        const int code = run.runner.exitCode();
        const bool lost = last.contains(": LOST,");
        if (code != (run.provable ? (lost ? 2 : last.contains(": FAIL,") ? 1 : 0) : 3) || lost != run.lostExpected)
            return QStringLiteral("exit %1: ").arg(code) + QString::fromLatin1(last);

        // "vornic-run: RESULT, N rows, ..."
        const int counted = last.split(',').value(1).trimmed().split(' ').value(0).toInt();
        QList<QByteArray> lines = TestFiles::readBytes(run.path("run.CSV")).split('\n');
        if (!lines.takeLast().isEmpty() || lines.size() != counted + 1 || counted == 0)
            return QStringLiteral("%1 lines in the CSV for %2 rows").arg(lines.size()).arg(counted);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> fields = lines.at(i).chopped(1).split(',');
            if (fields.size() != 10 || fields.at(0).toInt() != i)
                return QStringLiteral("row %1: %2").arg(i).arg(QString::fromLatin1(lines.at(i)));
        }

        const QStringList received = TestFiles::loadLines(run.path("sim.log"));
        const qsizetype off = received.lastIndexOf(QStringLiteral("LOAD OFF"));
        if (off < received.lastIndexOf(QStringLiteral("LOAD ON"))
            || off < received.lastIndexOf(QStringLiteral("START")))
            return QStringLiteral("the load was not told to switch off last");
        if (run.provable && received.mid(off) != QStringList{"LOAD OFF", "MEAS:VC?"})
            return QStringLiteral("the load's last lines: ") + received.mid(off).join(u'|');
        return QString();
    }
};

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
