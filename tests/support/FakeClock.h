#pragma once

#include "link/Clock.h"
#include "link/Waker.h"

// A clock the test moves by hand; waits advance it instead of sleeping. Each wait still goes
// through the event loop once, so a Stop pressed by the test lands inside it.
class FakeClock : public Clock
{
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(12, 0)));

    qint64 tickMs() const override { return m_tick; }
    QDateTime now() const override { return m_start.addMSecs(m_tick); }

    void advance(qint64 ms) { m_tick += ms; }
    // Called as each wait of `ms` milliseconds begins, e.g. to press Stop inside it.
    void onPause(std::function<void(int ms)> callback) { m_onPause = std::move(callback); }
    double totalWaitedMs() const { return m_waited; }

    // Held, a timer interval (the run's sampling interval) waits for releaseSleep(): a test then
    // takes a run one pass at a time.
    void setHoldSleeps(bool hold) { m_hold = hold; }
    int heldSleeps() const { return m_held; }
    int lastSleepMs() const { return m_lastSleepMs; }
    void releaseSleep() { m_release.wake(); }
    QCoro::Task<bool> sleep(int ms, const CancelToken *cancel) override;

protected:
    // One turn of the event loop, then the time passes (unless the token was cancelled).
    QCoro::Task<> pause(int ms, const Waker *waker, const CancelToken *cancel) override;

private:
    QDateTime m_start;
    qint64 m_tick = 0;
    double m_waited = 0;
    bool m_hold = false;
    int m_held = 0;
    int m_lastSleepMs = 0;
    Waker m_release;
    std::function<void(int)> m_onPause;
};
