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

    // One clock for the whole program.
    static SystemClock &instance();

private:
    QElapsedTimer m_elapsed;
};
