#include "RunBench.h"
#include "run/RunStatus.h"

#include <QTest>

// What the window says of a run, and the step table's highlight, however the run ended.
class TestRunStatus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void endings_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("state");
        QTest::newRow("finished") << "finish"
                                  << "Finished PASS";
        QTest::newRow("failed verdict") << "fail"
                                        << "Finished FAIL";
        QTest::newRow("Stop") << "stop"
                              << "Stopped";
        QTest::newRow("lost link") << "lose"
                                   << "Lost";
    }
    void endings()
    {
        QFETCH(QString, ending);
        QFETCH(QString, state);
        RunBench bench;
        RunStatus status(bench.recorder, bench.program);
        QCOMPARE(status.text(), QStringLiteral("Idle"));
        bench.addDischarge(QStringLiteral("2"), QStringLiteral("3"));
        bench.addStep(QStringLiteral("OCP"), {{8, "0"}, {9, "10"}, {10, "0.1"}, {11, "0.6"}, {12, "10"}, {13, "3"}});
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("0"));
        bench.load.setReply(QStringLiteral("NG?"), QStringLiteral("1"));
        bench.load.setReply(QStringLiteral("OCP?"), ending == u"fail" ? QStringLiteral("20") : QStringLiteral("5"));
        QVERIFY(bench.start());
        QCOMPARE(status.text(), QStringLiteral("Identifying"));
        bench.pass();
        QCOMPARE(status.text(), QStringLiteral("Running step 1 of 2 (Discharge)"));
        QCOMPARE(status.timeLeft(), QStringLiteral("2.0 s"));
        QCOMPARE(status.lastSample().watts, 25.0);
        QVERIFY(bench.program.isHighlighted(1));
        if (ending == u"stop")
            bench.run.stop();
        if (ending == u"lose")
            bench.load.setReply(QStringLiteral("MEAS:VC?"), QStringLiteral("ErrRec"));
        bench.runToEnd();
        QCOMPARE(status.text(), state);
        QCOMPARE(status.timeLeft(), QString());
        const double elapsed = status.elapsedSeconds();
        bench.clock.advance(5000);
        QCOMPARE(status.elapsedSeconds(), elapsed);
        for (int row = 1; row <= bench.program.StepCount(); ++row)
            QVERIFY(!bench.program.isHighlighted(row));
    }
};

QTEST_GUILESS_MAIN(TestRunStatus)
#include "tst_runstatus.moc"
