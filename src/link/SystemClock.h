#pragma once

#include "link/Clock.h"

#include <QElapsedTimer>

// The real clock: a monotonic tick and waits that sleep in the event loop, not in a busy loop.
class SystemClock : public Clock
{
public:
    SystemClock();

    qint64 tickMs() const override;
    QDateTime now() const override;
    void waitMs(double ms) override;
    // Sleeps in the event loop and wakes for the time-out or when `done` holds once events are served.
    bool waitUntil(double ms, const std::function<bool()> &done) override;

    // One clock for the whole program.
    static SystemClock &instance();

private:
    QElapsedTimer m_elapsed;
};
