#include "FakeClock.h"
#include "link/SystemClock.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

// The reply waits: they end when the reply is there, or once the time-out has passed.
class TestClockWait : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void endsSoonAfterTheConditionHolds()
    {
        bool arrived = false;
        QTimer::singleShot(100, [&] { arrived = true; });
        QElapsedTimer wall;
        wall.start();
        QVERIFY(SystemClock::instance().waitUntil(5000, [&] { return arrived; }));
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
        QVERIFY(!clock.waitUntil(ms, [] { return false; }));
        const qint64 waited = clock.tickMs() - start;
        QVERIFY2(double(waited) >= ms && double(waited) < ms + 40, qPrintable(QString::number(waited)));
    }

    void fakeClockMovesToTheTimeout()
    {
        FakeClock clock;
        QVERIFY(!clock.waitUntil(10000, [] { return false; }));
        QCOMPARE(clock.tickMs(), 10000);
        int calls = 0;
        QVERIFY(clock.waitUntil(10000, [&] { return ++calls > 3; }));
        QCOMPARE(clock.tickMs(), 10003);
    }
};

QTEST_GUILESS_MAIN(TestClockWait)
#include "tst_clockwait.moc"
