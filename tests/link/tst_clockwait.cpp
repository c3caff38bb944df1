#include "FakeClock.h"
#include "link/CancelToken.h"
#include "link/SystemClock.h"
#include "link/Waker.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

// The waits: they end when what they wait for is there, once the time-out has passed, or at once
// when their token is cancelled.
class TestClockWait : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void endsSoonAfterTheConditionHolds()
    {
        bool arrived = false;
        Waker waker;
        QTimer::singleShot(100, [&] {
            arrived = true;
            waker.wake();
        });
        QElapsedTimer wall;
        wall.start();
        QVERIFY(QCoro::waitFor(SystemClock::instance().waitUntil(
            5000, [&] { return arrived; }, &waker)));
        QVERIFY2(wall.elapsed() >= 95 && wall.elapsed() < 300, qPrintable(QString::number(wall.elapsed())));
    }

    void endsAtTheTimeout_data()
    {
        QTest::addColumn<double>("ms");
        QTest::newRow("0") << 0.0;
        QTest::newRow("50") << 50.0;
        QTest::newRow("200") << 200.0;
    }
    void endsAtTheTimeout()
    {
        QFETCH(double, ms);
        SystemClock &clock = SystemClock::instance();
        const qint64 start = clock.tickMs();
        QVERIFY(!QCoro::waitFor(clock.waitUntil(
            ms, [] { return false; }, nullptr)));
        const qint64 waited = clock.tickMs() - start;
        QVERIFY2(double(waited) >= ms && double(waited) < ms + 40, qPrintable(QString::number(waited)));
    }

    void cancelEndsTheWaitAtOnce_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("WaitMs") << 0;
        QTest::newRow("reply wait") << 1;
        QTest::newRow("sampling interval") << 2;
    }
    void cancelEndsTheWaitAtOnce()
    {
        QFETCH(int, kind);
        SystemClock &clock = SystemClock::instance();
        CancelToken cancel;
        QTimer::singleShot(50, &cancel, &CancelToken::cancel);
        QElapsedTimer wall;
        wall.start();
        bool completed = true;
        if (kind == 0)
            completed = QCoro::waitFor(clock.waitMs(10000, &cancel));
        else if (kind == 1)
            completed = QCoro::waitFor(clock.waitUntil(
                10000, [] { return false; }, nullptr, &cancel));
        else
            completed = QCoro::waitFor(clock.sleep(10000, &cancel));
        QVERIFY(!completed);
        QVERIFY2(wall.elapsed() < 200, qPrintable(QString::number(wall.elapsed())));
        // A cancelled token ends every later wait before it starts.
        QVERIFY(!QCoro::waitFor(clock.waitMs(10000, &cancel)));
        QVERIFY(wall.elapsed() < 250);
    }

    void fakeClockMovesToTheTimeout()
    {
        FakeClock clock;
        QVERIFY(!QCoro::waitFor(clock.waitUntil(
            10000, [] { return false; }, nullptr)));
        QCOMPARE(clock.tickMs(), 10000);
        QVERIFY(QCoro::waitFor(clock.waitMs(100)));
        QCOMPARE(clock.tickMs(), 10101);
    }
};

QTEST_GUILESS_MAIN(TestClockWait)
#include "tst_clockwait.moc"
