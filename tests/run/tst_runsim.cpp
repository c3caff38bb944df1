#include "SimProcess.h"
#include "TestFiles.h"
#include "link/SystemClock.h"
#include "model/StepColumns.h"
#include "station/Engine.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The engine on real timers against the virtual load over LAN.
class TestRunSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Whatever the settings file says, the run samples within 100..60000 ms, and says so when it
    // had to hold the interval there.
    void samplingIntervalIsHeldAtRun_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("held");
        QTest::addColumn<bool>("said");
        QTest::newRow("0") << "0"
                           << "100" << true;
        QTest::newRow("empty") << ""
                               << "100" << true;
        QTest::newRow("letters") << "abc"
                                 << "100" << true;
        QTest::newRow("negative") << "-5"
                                  << "100" << true;
        QTest::newRow("a fraction of a ms") << "0.0001"
                                            << "100" << true;
        QTest::newRow("above a minute") << "70000"
                                        << "60000" << true;
        QTest::newRow("in range") << "250"
                                  << "250" << false;
    }
    void samplingIntervalIsHeldAtRun()
    {
        QFETCH(QString, given);
        QFETCH(QString, held);
        QFETCH(bool, said);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        // No load anywhere: the run is stopped while it looks for one.
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(1, given));
        Engine engine(SystemClock::instance(), ini);
        engine.loadSettings();
        engine.setLogFilePath(dir.filePath(QStringLiteral("run.CSV")));
        engine.program().setGridRowCount(3);
        engine.program().setCell(1, 1, QStringLiteral("Rest"));
        engine.program().setCell(1, StepColumns::TStop, QStringLiteral("1"));
        QSignalSpy notices(&engine, &Engine::notice);
        QVERIFY(engine.startRun(QStringLiteral("held")));
        QCOMPARE(engine.measureOptions().measTimeText(), held);
        QCOMPARE(notices.size(), said ? 1 : 0);
        QCOMPARE(engine.trace().lines().filter(QStringLiteral("sampling interval")).size(), said ? 1 : 0);
        engine.run().stop();
        QTRY_VERIFY_WITH_TIMEOUT(!engine.run().isRunning(), 30000);
        QCOMPARE(TestFiles::readBytes(ini).contains("MeasureTime=" + held.toLatin1()), true);
    }

    // Stop inside a long wait and Run at once: after the first run's "LOAD OFF" the load hears
    // only the second run (its identification first), which runs to its end.
    void stopThenRunInsideAWait_data()
    {
        QTest::addColumn<QString>("stableMs");
        QTest::addColumn<QString>("measureMs");
        QTest::newRow("stable time") << "3000"
                                     << "100";
        QTest::newRow("sampling interval") << "0"
                                           << "3000";
    }
    void stopThenRunInsideAWait()
    {
        QFETCH(QString, stableMs);
        QFETCH(QString, measureMs);
        QTemporaryDir dir;
        const QString simLog = dir.filePath(QStringLiteral("sim.log"));
        SimProcess sim({"--tcp", "0", "--source", "supply", "--log", simLog});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(sim.port(QStringLiteral("load")), measureMs));
        Engine engine(SystemClock::instance(), ini);
        engine.loadSettings();
        engine.setLogFilePath(dir.filePath(QStringLiteral("run.CSV")));
        engine.run().setFirstIntervalMs(100);
        TestProgram &program = engine.program();
        program.setGridRowCount(3);
        const QStringList cells{"1", "Discharge", "CC", "1", "0", "0.3", "0"};
        for (int column = 0; column < cells.size(); ++column)
            program.setCell(1, column, cells.at(column));
        program.setCell(1, StepColumns::IStop, QStringLiteral("0"));
        program.setCell(1, StepColumns::StableTime, stableMs);
        QSignalSpy ended(&engine.run().events(), &RunEvents::runEnded);

        QVERIFY(engine.startRun(QStringLiteral("stop-then-run")));
        // The line after which the run waits 3 s: the stable time follows "LOAD ON", the sampling
        // interval the first sample.
        const QByteArray waitsAfter = stableMs == u"0" ? "MEAS:VC?" : "LOAD ON";
        QTRY_VERIFY_WITH_TIMEOUT(TestFiles::readBytes(simLog).contains(waitsAfter), 30000);
        engine.run().stop();
        QTRY_VERIFY_WITH_TIMEOUT(!engine.run().isRunning(), 30000);
        QVERIFY(engine.startRun(QStringLiteral("stop-then-run")));
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 2, 30000);
        QCOMPARE(ended.at(0).at(0).value<RunResult>(), RunResult::Stopped);
        QCOMPARE(ended.at(1).at(0).value<RunResult>(), RunResult::Pass);

        QTRY_VERIFY_WITH_TIMEOUT(TestFiles::readBytes(simLog).endsWith("LOAD OFF\n")
                || TestFiles::readBytes(simLog).endsWith(" = MEAS:VC?\n"),
            30000);
        QStringList lines;
        for (const QByteArray &entry : TestFiles::readBytes(simLog).split('\n'))
            if (entry.startsWith("L "))
                lines.append(QString::fromLatin1(entry.mid(entry.indexOf(" = ") + 3)));
        QCOMPARE(lines.mid(lines.size() - 2), (QStringList{"LOAD OFF", "MEAS:VC?"}));
        const qsizetype firstOff = lines.indexOf(QStringLiteral("LOAD OFF"));
        QVERIFY(firstOff > 0);
        QCOMPARE(lines.mid(firstOff + 1, 3), (QStringList{"MEAS:VC?", "REM", "name?"}));
        QCOMPARE(lines.count(QStringLiteral("LOAD ON")), 2);
    }
};

QTEST_GUILESS_MAIN(TestRunSim)
#include "tst_runsim.moc"
