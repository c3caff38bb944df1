#include "RunBench.h"
#include "results/RunText.h"
#include "run/PassTiming.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

class TestPassTiming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void intervals_data()
    {
        QTest::addColumn<qint64>("tickNow");
        QTest::addColumn<double>("secondsAtSample");
        QTest::addColumn<double>("secondsNow");
        QTest::addColumn<double>("stepTimeLeft");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("countDown");
        // The plan starts at tick 1000 with 100 ms samples.
        QTest::newRow("on time") << qint64(1030) << 1.0 << 1.03 << 10.0 << 70 << true;
        QTest::newRow("pass cost is absorbed") << qint64(1095) << 1.0 << 1.095 << 10.0 << 5 << true;
        QTest::newRow("overrun") << qint64(1100) << 1.0 << 1.1 << 10.0 << 10 << true;
        QTest::newRow("pass longer than step time left") << qint64(1030) << 1.0 << 1.03 << 0.0 << 10 << true;
        QTest::newRow("midnight") << qint64(1030) << 86399.99 << 0.02 << 10.0 << 10 << false;
    }
    void intervals()
    {
        QFETCH(qint64, tickNow);
        QFETCH(double, secondsAtSample);
        QFETCH(double, secondsNow);
        QFETCH(double, stepTimeLeft);
        QFETCH(int, interval);
        QFETCH(bool, countDown);
        PassTiming timing;
        timing.restartPlan(1000);
        const auto out
            = timing.next({tickNow, secondsAtSample, secondsNow, 100, Fixed4::fromDoubleOrZero(stepTimeLeft), true});
        QCOMPARE(out.intervalMs, interval);
        QCOMPARE(out.countDown, countDown);
    }

    void noDriftOverManyPasses()
    {
        PassTiming timing;
        timing.restartPlan(0);
        qint64 tick = 0;
        for (int pass = 0; pass < 1000; ++pass) {
            // Each pass costs 3 ms and the timer fires 1 ms late.
            const qint64 end = tick + 3;
            const auto out = timing.next({end, 0, 0.003, 100, Fixed4::fromCount(100000), true});
            QVERIFY(out.intervalMs >= 1);
            tick = end + out.intervalMs + 1;
        }
        // 1000 periods of 100 ms, each late by at most the last tick's 1 ms.
        QCOMPARE(tick, qint64(100001));
    }

    void runCountsDownAndTracesTheInterval()
    {
        RunBench bench;
        bench.options.setMeasTimeText(QStringLiteral("250"));
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("1"));
        QVERIFY(bench.start());
        QSignalSpy left(&bench.run.events(), &RunEvents::stepTimeLeftChanged);
        bench.pass();
        QCOMPARE(bench.record().stepTimeLeft->toText(), QStringLiteral("0.75"));
        QCOMPARE(left.last().first().value<Fixed4>().toText(), QStringLiteral("0.75"));
        QVERIFY(bench.trace.lines().last().startsWith(QStringLiteral("Interval=")));
        const QRegularExpression sampleLine(QStringLiteral("^timer1=>,43201\\.\\d+,Discharge$"));
        QCOMPARE(bench.trace.lines().filter(sampleLine).size(), 1);
        bench.options.setMeasTimeText(QStringLiteral("500"));
        bench.pass();
        QCOMPARE(bench.record().stepTimeLeft->toText(), QStringLiteral("0.25"));
    }

    void formatElapsed_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("text");
        QTest::newRow("same") << "2026-12-07 10:00:00"
                              << "2026-12-07 10:00:00"
                              << "00:00:00";
        QTest::newRow("under an hour") << "2026-12-07 10:00:00"
                                       << "2026-12-07 10:59:59"
                                       << "00:59:59";
        QTest::newRow("across midnight") << "2026-12-07 23:59:50"
                                         << "2026-12-08 00:00:10"
                                         << "00:00:20";
        QTest::newRow("100 hours") << "2026-12-01 00:00:00"
                                   << "2026-12-05 04:00:00"
                                   << "100:00:00";
        QTest::newRow("not a time") << ""
                                    << "2026-12-07 10:00:00"
                                    << "00:00:00";
    }
    void formatElapsed()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, text);
        const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
        const QDateTime from = QDateTime::fromString(start, format);
        const QDateTime to = QDateTime::fromString(end, format);
        QCOMPARE(RunText::FormatElapsed(from, to), text);
        // A row made 999 ms into a second says what its whole second says.
        QCOMPARE(RunText::stepTimeText(from, to.addMSecs(999)), text);
    }

    // The time texts are made once a second and handed out again within it: a row that follows
    // another must still get its own second's texts, whatever changed in between.
    void timeTextsFollowEachRow_data()
    {
        // Each row "step start|row time"; the texts of each are checked in turn.
        QTest::addColumn<QStringList>("rows");
        const QString start = QStringLiteral("2026-12-07 10:00:00|");
        QTest::newRow("same second") << QStringList{
            start + "2026-12-07 10:00:05.010", start + "2026-12-07 10:00:05.990"};
        QTest::newRow("next second") << QStringList{
            start + "2026-12-07 10:00:05.990", start + "2026-12-07 10:00:06.000"};
        QTest::newRow("a new step in the same second")
            << QStringList{start + "2026-12-07 10:00:05.100", "2026-12-07 10:00:05|2026-12-07 10:00:05.200"};
        QTest::newRow("the same time a day later")
            << QStringList{start + "2026-12-07 10:00:05.000", start + "2026-12-08 10:00:05.000"};
        QTest::newRow("the clock set back")
            << QStringList{start + "2026-12-07 10:00:05.000", start + "2026-12-07 09:59:59.500"};
        QTest::newRow("no time between two of the same second")
            << QStringList{start + "2026-12-07 10:00:05.100", start + "not a time", start + "2026-12-07 10:00:05.200"};
    }
    void timeTextsFollowEachRow()
    {
        QFETCH(QStringList, rows);
        const QString rowFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz");
        for (const QString &row : rows) {
            const QString start = row.section(u'|', 0, 0);
            const QDateTime made = QDateTime::fromString(row.section(u'|', 1), rowFormat);
            const QDateTime wholeSecond = made.isValid() ? made.addMSecs(-made.time().msec()) : made;
            QCOMPARE(RunText::totalTimeText(made), made.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
            const QDateTime stepStart = QDateTime::fromString(start, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            QCOMPARE(RunText::stepTimeText(stepStart, made), RunText::FormatElapsed(stepStart, wholeSecond));
        }
    }
};

QTEST_GUILESS_MAIN(TestPassTiming)
#include "tst_passtiming.moc"
