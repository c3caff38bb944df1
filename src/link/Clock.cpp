#include "link/Clock.h"

double Clock::secondsSinceMidnight() const
{
    const QTime time = now().time();
    return time.msecsSinceStartOfDay() / 1000.0;
}

bool Clock::waitUntil(double ms, const std::function<bool()> &done)
{
    const qint64 start = tickMs();
    while (!done() && double(tickMs() - start) < ms)
        waitMs(0);
    return done();
}
