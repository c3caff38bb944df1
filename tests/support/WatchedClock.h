#pragma once

#include "link/SystemClock.h"

#include <limits>

// The real clock, watched. It counts every suspension of a wait, so that a test tells a wait that
// sleeps until it is woken from one that polls. With its time-outs held, a wait ends only when it
// is woken or cancelled, so that a test knows what ended it however late a busy machine runs it.
class WatchedClock : public SystemClock
{
public:
    int pauses() const { return m_pauses; }
    void holdTimeouts(bool hold) { m_timeoutsHeld = hold; }

protected:
    QCoro::Task<> pause(int ms, const Waker *waker, const CancelToken *cancel) override
    {
        ++m_pauses;
        // A turn of the event loop (0 ms) is no time-out and still passes.
        return SystemClock::pause(m_timeoutsHeld && ms > 0 ? std::numeric_limits<int>::max() : ms, waker, cancel);
    }

private:
    int m_pauses = 0;
    bool m_timeoutsHeld = false;
};
