#pragma once

#include "link/Clock.h"

// The real clock: a monotonic tick and waits that sleep in the event loop, never in a busy loop.
// The tick counts whole milliseconds from the clock's start, and every wait ends as the tick it
// counts to begins, on CLOCK_MONOTONIC to the nanosecond (see DeadlineTimer).
class SystemClock : public Clock
{
public:
    SystemClock();

    qint64 tickMs() const override;
    QDateTime now() const override;
    QCoro::Task<bool> sleepUntil(qint64 tick, const CancelToken *cancel) override;

    // One clock for the whole program.
    static SystemClock &instance();

protected:
    QCoro::Task<> pause(int ms, const Waker *waker, const CancelToken *cancel) override;

private:
    // CLOCK_MONOTONIC at tick 0.
    qint64 m_startNs;
};
