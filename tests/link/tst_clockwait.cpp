#include "FakeClock.h"
#include "WatchedClock.h"
#include "link/CancelToken.h"
#include "link/DeadlineTimer.h"
#include "link/SystemClock.h"
#include "link/WakeAwaiter.h"
#include "link/Waker.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

namespace {

constexpr qint64 NsPerMs = 1'000'000;

QCoro::Task<> stampAtDeadline(qint64 deadlineNs, qint64 *endedNs)
{
    co_await WakeAwaiter::until(deadlineNs, nullptr, nullptr);
    *endedNs = DeadlineTimer::nowNs();
}

// The event loop runs while they wait (QTRY_VERIFY would sleep between its looks).
QCoro::Task<> allOf(std::vector<QCoro::Task<>> &waits)
{
    for (QCoro::Task<> &wait : waits)
        co_await wait;
}

QCoro::Task<> waitOn(const Waker *waker, int ms, bool *ended)
{
    co_await WakeAwaiter(ms, waker, nullptr);
    *ended = true;
}

} // namespace

// The waits: they end when what they wait for is there, once the time-out has passed, or at once
// when their token is cancelled. How close to its moment a wait ends on a busy machine is for the
// benchmarks (bench-sample-timing); here each end is told by what caused it, never by a stopwatch.
class TestClockWait : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A wait longer than a millisecond timer holds (a step's stable time of a month) goes on in
    // several pauses, each one a timer can take.
    void waitLongerThanATimerHolds()
    {
        FakeClock clock;
        CancelToken cancel;
        QList<int> pauses;
        clock.onPause([&](int ms) {
            pauses.append(ms);
            if (ms < 0)
                cancel.cancel();
        });
        QVERIFY(QCoro::waitFor(clock.waitMs(3e9, &cancel)));
        QCOMPARE(pauses, (QList<int>{0, 2147483646, 852516355}));
        QCOMPARE(clock.tickMs(), qint64(3000000001));
    }

    void endsWhenTheConditionHolds()
    {
        WatchedClock clock;
        clock.holdTimeouts(true);
        bool arrived = false;
        Waker waker;
        QTimer::singleShot(100, [&] {
            arrived = true;
            waker.wake();
        });
        QElapsedTimer wall;
        wall.start();
        QVERIFY(QCoro::waitFor(clock.waitUntil(
            5000, [&] { return arrived; }, &waker)));
        QVERIFY2(wall.elapsed() >= 95, qPrintable(QString::number(wall.elapsed())));
        // Its time-out held, only the wake could end it, and it slept until then.
        QCOMPARE(clock.pauses(), 1);
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
        // Not before the time-out; that the wait goes no further than it is fakeClockMovesToTheTimeout's.
        const qint64 waited = clock.tickMs() - start;
        QVERIFY2(double(waited) >= ms, qPrintable(QString::number(waited)));
    }

    void cancelEndsTheWaitAtOnce_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("WaitMs") << 0;
        QTest::newRow("reply wait") << 1;
        QTest::newRow("sampling interval") << 2;
        QTest::newRow("sampling interval to a tick") << 3;
    }
    void cancelEndsTheWaitAtOnce()
    {
        QFETCH(int, kind);
        // A minute: the cancel 50 ms in ends the wait long before the wait could end itself.
        constexpr int WaitMs = 60000;
        SystemClock &clock = SystemClock::instance();
        CancelToken cancel;
        QTimer::singleShot(50, &cancel, &CancelToken::cancel);
        const qint64 due = clock.tickMs() + WaitMs;
        bool completed = true;
        if (kind == 0)
            completed = QCoro::waitFor(clock.waitMs(WaitMs, &cancel));
        else if (kind == 1)
            completed = QCoro::waitFor(clock.waitUntil(
                WaitMs, [] { return false; }, nullptr, &cancel));
        else if (kind == 2)
            completed = QCoro::waitFor(clock.sleep(WaitMs, &cancel));
        else
            completed = QCoro::waitFor(clock.sleepUntil(due, &cancel));
        QVERIFY(!completed);
        QVERIFY2(clock.tickMs() < due, qPrintable(QString::number(clock.tickMs() - due)));
        // A cancelled token ends every later wait before it starts.
        const qint64 laterDue = clock.tickMs() + WaitMs;
        QVERIFY(!QCoro::waitFor(clock.waitMs(WaitMs, &cancel)));
        QVERIFY(clock.tickMs() < laterDue);
    }

    // A wait ends at its deadline itself, not at the millisecond a timer rounds it to: never before
    // it, however little ahead the deadline is.
    void endsAtTheDeadline_data()
    {
        QTest::addColumn<qint64>("aheadUs");
        QTest::newRow("0.3 ms") << qint64(300);
        QTest::newRow("7.5 ms") << qint64(7500);
        QTest::newRow("40.25 ms") << qint64(40250);
    }
    void endsAtTheDeadline()
    {
        QFETCH(qint64, aheadUs);
        for (int round = 0; round < 5; ++round) {
            const qint64 deadline = DeadlineTimer::nowNs() + aheadUs * 1000;
            qint64 ended = 0;
            QCoro::waitFor(stampAtDeadline(deadline, &ended));
            QVERIFY2(ended >= deadline, qPrintable(QString::number(ended - deadline)));
        }
    }

    // Waits that overlap share one timer: each ends at its own deadline, in the order of the
    // deadlines, whatever the order they began in.
    void overlappingWaitsEndInTurn_data()
    {
        QTest::addColumn<QList<int>>("aheadMs");
        QTest::newRow("in order") << QList<int>{10, 20, 30};
        QTest::newRow("reversed") << QList<int>{30, 20, 10};
        QTest::newRow("the same deadline twice") << QList<int>{25, 5, 25};
    }
    void overlappingWaitsEndInTurn()
    {
        QFETCH(QList<int>, aheadMs);
        const qint64 start = DeadlineTimer::nowNs();
        QList<qint64> ended(aheadMs.size(), 0);
        std::vector<QCoro::Task<>> waits;
        for (qsizetype k = 0; k < aheadMs.size(); ++k)
            waits.push_back(stampAtDeadline(start + aheadMs[k] * NsPerMs, &ended[k]));
        QCoro::waitFor(allOf(waits));
        for (qsizetype k = 0; k < aheadMs.size(); ++k) {
            const qint64 late = ended[k] - (start + aheadMs[k] * NsPerMs);
            QVERIFY2(late >= 0, qPrintable(QStringLiteral("wait %1 ended %2 ns early").arg(k).arg(-late)));
            for (qsizetype other = 0; other < aheadMs.size(); ++other) {
                if (aheadMs[other] < aheadMs[k])
                    QVERIFY2(ended[other] <= ended[k],
                        qPrintable(QStringLiteral("wait %1 ended before wait %2").arg(k).arg(other)));
            }
        }
    }

    // Tick arithmetic stays whole milliseconds: a sleep until a tick ends once that tick has begun,
    // and one to a tick that is there already at once.
    void sleepUntilEndsAsItsTickBegins_data()
    {
        QTest::addColumn<int>("ticksAhead");
        QTest::newRow("1") << 1;
        QTest::newRow("10") << 10;
        QTest::newRow("already there") << 0;
    }
    void sleepUntilEndsAsItsTickBegins()
    {
        QFETCH(int, ticksAhead);
        SystemClock &clock = SystemClock::instance();
        const qint64 due = clock.tickMs() + ticksAhead;
        QVERIFY(QCoro::waitFor(clock.sleepUntil(due, nullptr)));
        QVERIFY2(clock.tickMs() >= due, qPrintable(QString::number(clock.tickMs() - due)));
    }

    // A wait belongs to its waker: once the waker is gone, its deadline passing resumes nothing.
    void aWaitOfAWakerThatIsGoneNeverEnds()
    {
        auto waker = std::make_unique<Waker>();
        bool ended = false;
        QCoro::Task<> wait = waitOn(waker.get(), 20, &ended);
        waker.reset();
        // Waits end in the order of their deadlines: once a later one has ended, the first one's
        // deadline has passed.
        bool laterEnded = false;
        Waker later;
        QCoro::waitFor(waitOn(&later, 40, &laterEnded));
        QVERIFY(laterEnded);
        QVERIFY(!ended);
        bool otherEnded = false;
        Waker other;
        QCoro::Task<> next = waitOn(&other, 5, &otherEnded);
        QTRY_VERIFY_WITH_TIMEOUT(otherEnded, 30000);
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
