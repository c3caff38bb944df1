#include "OutputTarget.h"
#include "ProcessEnd.h"
#include "SimProcess.h"
#include "TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <optional>

namespace {

// Test step file lines (StepNo., Function, Mode, SinkValue, VStop, TStop, AhStop, ... IStop,
// StableTime): by time; by a VStop above the 12 V supply; an OCP that its 5 A limit trips within
// 3..10 A; a long step at a level of its own, for the test to see in the load's log.
const QList<QByteArray> Steps{"1,Discharge,CC,1,0,1,0,,,,,,,,,,,,,,,,,,,,,,,,0,0",
    "2,Discharge,CC,1,13,10,0,,,,,,,,,,,,,,,,,,,,,,,,0,0", "3,OCP,,,,,,,0,10,0.5,0.6,10,3,,,,,,,,,,,,,,,,,,",
    "4,Discharge,CC,2,0,600,0,,,,,,,,,,,,,,,,,,,,,,,,0,0"};

} // namespace

// vornic-run --summary against the virtual load: the file it leaves names each step's end and
// verdict as the run had them, also when the run was interrupted; a summary that cannot be written
// does not pass for a good run.
class TestSummaryEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void summaryOfARun_data()
    {
        QTest::addColumn<QList<QByteArray>>("steps");
        QTest::addColumn<bool>("interrupt");
        QTest::addColumn<QString>("summaryName");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("ends");
        QTest::newRow("time, voltage, OCP verdict, Ctrl+C")
            << Steps << true << "run.json" << 130
            << QStringList{"1 Discharge time", "2 Discharge voltage", "3 OCP load PASS", "4 Discharge stopped"};
        QTest::newRow("a passing run whose summary cannot be written")
            << Steps.mid(0, 1) << false << "missing/run.json" << 2 << QStringList{};
    }
    void summaryOfARun()
    {
        QFETCH(QList<QByteArray>, steps);
        QFETCH(bool, interrupt);
        QFETCH(QString, summaryName);
        QFETCH(int, exitCode);
        QFETCH(QStringList, ends);
        QTemporaryDir dir;
        const QString simLog = dir.filePath(QStringLiteral("sim.log"));
        SimProcess sim({"--tcp", "0", "--source", "supply", "--speed", "10", "--log", simLog});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(sim.port(QStringLiteral("load"))));
        const QString program = dir.filePath(QStringLiteral("four.TSF"));
        TestFiles::writeBytes(program, TestFiles::crlfLines(QList<QByteArray>{"header"} + steps));
        const QString summary = dir.filePath(summaryName);

        QProcess runner;
        runner.start(TestFiles::binary("vornic-run"),
            {"--settings", ini, "--log", dir.filePath(QStringLiteral("run.CSV")), "--summary", summary, program});
        QVERIFY(runner.waitForStarted());
        if (interrupt) {
            // Interrupted once the long step samples: its level has gone out, and a sample question after it.
            const auto sampling = [&] {
                const QByteArray log = TestFiles::readBytes(simLog);
                const qsizetype level = log.indexOf("CC:HIGH 2");
                return level >= 0 && log.indexOf("MEAS:VC?", level) >= 0;
            };
            QTRY_VERIFY_WITH_TIMEOUT(sampling(), 60000);
            QVERIFY(signalRunning(runner, SIGINT));
        }
        QVERIFY(waitForEnd(runner));
        const QByteArray errors = runner.readAllStandardError();
        QVERIFY2(runner.exitCode() == exitCode, errors.constData());
        if (ends.isEmpty()) {
            QVERIFY2(errors.contains(summary.toUtf8()), errors.constData());
            return;
        }

        const QJsonObject json = QJsonDocument::fromJson(TestFiles::readBytes(summary)).object();
        QCOMPARE(
            (QStringList{json["result"].toString(), json["program"].toString()}), (QStringList{"STOPPED", program}));
        QStringList seen;
        for (const QJsonValue &value : json["steps"].toArray()) {
            const QJsonObject step = value.toObject();
            seen.append(QStringLiteral("%1 %2 %3 %4")
                            .arg(step["step"].toInt())
                            .arg(step["function"].toString(), step["end"].toString(), step["verdict"].toString())
                            .trimmed());
            // The OCP's PASS: its trip within IL..IH.
            const double trip = step["value"].toString().toDouble();
            if (!step["verdict"].toString().isEmpty())
                QVERIFY2(trip >= 3 && trip <= 10, qPrintable(step["value"].toString()));
        }
        QCOMPARE(seen, ends);
    }

    // A summary asked for on standard output ("-"), into a FIFO or into the null device is written
    // there as it is: the FIFO and the device node stay what they were.
    void summaryIntoWhatIsNoFile_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("standard output") << -1;
        QTest::newRow("FIFO") << int(OutputTarget::Fifo);
        QTest::newRow("null device") << int(OutputTarget::NullDevice);
    }
    void summaryIntoWhatIsNoFile()
    {
        QFETCH(int, kind);
        QTemporaryDir dir;
        std::optional<OutputTarget> target;
        if (kind >= 0) {
            target.emplace(OutputTarget::Kind(kind), QDir(dir.path()));
            if (target->path().isEmpty())
                QSKIP("no device node can be made here");
        }
        SimProcess sim({"--tcp", "0", "--source", "supply", "--speed", "10"});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(sim.port(QStringLiteral("load"))));
        const QString program = dir.filePath(QStringLiteral("one.TSF"));
        TestFiles::writeBytes(program, TestFiles::crlfLines(QList<QByteArray>{"header"} + Steps.mid(0, 1)));

        QProcess runner;
        runner.start(TestFiles::binary("vornic-run"),
            {"--settings", ini, "--log", dir.filePath(QStringLiteral("run.CSV")), "--summary",
                target ? target->path() : QStringLiteral("-"), program});
        QTRY_VERIFY_WITH_TIMEOUT((!target || target->drain()) && runner.state() == QProcess::NotRunning, 60000);
        const QByteArray errors = runner.readAllStandardError();
        QVERIFY2(runner.exitCode() == 0, errors.constData());
        if (target && kind == OutputTarget::NullDevice) {
            QVERIFY(target->isAsMade());
            return;
        }
        if (target) {
            target->drain();
            QVERIFY(target->isAsMade());
        }
        const QByteArray json = target ? target->bytes() : runner.readAllStandardOutput();
        QCOMPARE(QJsonDocument::fromJson(json).object()["result"].toString(), QStringLiteral("PASS"));
    }
};

QTEST_GUILESS_MAIN(TestSummaryEndToEnd)
#include "tst_summaryendtoend.moc"
