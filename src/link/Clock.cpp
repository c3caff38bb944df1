#include "link/Clock.h"

double Clock::secondsSinceMidnight() const
{
    const QTime time = now().time();
    return time.msecsSinceStartOfDay() / 1000.0;
}
