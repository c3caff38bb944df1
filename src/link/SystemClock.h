#pragma once

#include "link/Clock.h"

#include <QElapsedTimer>

// The real clock: a monotonic tick and waits that sleep in the event loop, never in a busy loop.
class SystemClock : public Clock
{
public:
    SystemClock();

    qint64 tickMs() const override;
    QDateTime now() const override;

    // One clock for the whole program.
    static SystemClock &instance();

protected:
    QCoro::Task<> pause(int ms, const Waker *waker, const CancelToken *cancel) override;

private:
    QElapsedTimer m_elapsed;
};
