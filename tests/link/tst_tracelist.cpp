#include "WatchedClock.h"
#include "link/SystemClock.h"
#include "link/TraceList.h"

#include <QCoro/QCoroTask>
#include <QTest>
#include <QTimer>

class TestTraceList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsNewestInViewAndClearsAtTopIndex3000()
    {
        TraceList list;
        for (int i = 0; i <= TraceList::ClearAtTopIndex; ++i)
            list.TraceLine(QString::number(i));
        QCOMPARE(list.lines().size(), 3001);
        QCOMPARE(list.topIndex(), 3000);
        QCOMPARE(list.lines().last(), QStringLiteral("3000"));
        list.TraceLine(QStringLiteral("lost"));
        QCOMPARE(list.rowCount(), 0);
        QCOMPARE(list.topIndex(), 0);
        list.TraceLine(QStringLiteral("again"));
        QCOMPARE(list.lines(), QStringList{QStringLiteral("again")});
    }

    void waitReturnsAfterTheTimeNotBefore_data()
    {
        QTest::addColumn<double>("ms");
        QTest::newRow("0") << 0.0;
        QTest::newRow("1") << 1.0;
        QTest::newRow("100") << 100.0;
        QTest::newRow("250.5") << 250.5;
    }
    void waitReturnsAfterTheTimeNotBefore()
    {
        QFETCH(double, ms);
        SystemClock &clock = SystemClock::instance();
        const qint64 start = clock.tickMs();
        QCoro::waitFor(clock.waitMs(ms));
        const qint64 waited = clock.tickMs() - start;
        // Not before; that it goes no further than the time is checked on the fake clock (tst_clockwait).
        QVERIFY2(double(waited) > ms, qPrintable(QString::number(waited)));
    }

    // The wait sleeps in the event loop: a turn of it, then one sleep to the time, never a poll.
    // What a wait costs in CPU is for the benchmarks.
    void waitServesEventsAndSleeps()
    {
        WatchedClock clock;
        bool fired = false;
        QTimer::singleShot(50, [&] { fired = true; });
        QCoro::waitFor(clock.waitMs(500));
        QVERIFY(fired);
        QVERIFY2(clock.pauses() <= 2, qPrintable(QString::number(clock.pauses())));
    }
};

QTEST_GUILESS_MAIN(TestTraceList)
#include "tst_tracelist.moc"
