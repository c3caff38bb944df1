#pragma once

#include "link/Clock.h"

// A clock whose time moves only when something waits on it, so that a run of a million samples
// takes minutes instead of hours. A long wait that a waker may end (a link waiting for a reply)
// still waits for real, for the data to arrive; every other wait only lets the event loop run once.
class VirtualClock : public Clock
{
public:
    VirtualClock();

    qint64 tickMs() const override { return m_ms; }
    QDateTime now() const override;

protected:
    QCoro::Task<> pause(int ms, const Waker *waker, const CancelToken *cancel) override;

private:
    // However long a reply wait asks for, it waits at most this long for real: the load answers in
    // well under a millisecond, and a wait for a reply that never comes should not stall the run.
    static constexpr int RealWaitCapMs = 2000;
    // A link's pause after a write listens to its waker too, yet waits for nothing: up to this
    // length a wait passes at once. A longer one on a waker is a reply time-out, of which only the
    // time really waited passes.
    static constexpr int LongestLinkPauseMs = 50;

    qint64 m_ms = 0;
    QDateTime m_start;
};
