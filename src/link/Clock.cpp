#include "link/Clock.h"

#include "link/CancelToken.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
bool cancelled(const CancelToken *cancel) { return cancel && cancel->isCancelled(); }

// One suspension of a long wait: a timer counts at most this many milliseconds, and the wait
// goes on in several.
int pauseMs(double ms) { return int(std::clamp(ms, 0.0, double(std::numeric_limits<int>::max() - 1))); }
} // namespace

double Clock::secondsSinceMidnight() const
{
    const QTime time = now().time();
    return time.msecsSinceStartOfDay() / 1000.0;
}

QCoro::Task<bool> Clock::waitMs(double ms, const CancelToken *cancel, const Waker *owner)
{
    const qint64 start = tickMs();
    co_await pause(0, owner, cancel);
    for (;;) {
        if (cancelled(cancel))
            co_return false;
        const double waited = double(tickMs() - start);
        if (waited > ms)
            co_return true;
        co_await pause(pauseMs(std::floor(ms - waited) + 1), owner, cancel);
    }
}

QCoro::Task<bool> Clock::waitUntil(double ms, std::function<bool()> done, const Waker *waker, const CancelToken *cancel)
{
    const qint64 start = tickMs();
    for (;;) {
        if (done())
            co_return true;
        const double left = ms - double(tickMs() - start);
        if (cancelled(cancel) || left <= 0)
            co_return false;
        co_await pause(pauseMs(std::ceil(left)), waker, cancel);
    }
}

QCoro::Task<bool> Clock::sleep(int ms, const CancelToken *cancel)
{
    co_await pause(ms, nullptr, cancel);
    co_return !cancelled(cancel);
}

QCoro::Task<bool> Clock::sleepUntil(qint64 tick, const CancelToken *cancel)
{
    return sleep(int(std::clamp<qint64>(tick - tickMs(), 0, std::numeric_limits<int>::max())), cancel);
}

QCoro::Task<bool> Clock::yield(const CancelToken *cancel)
{
    co_await pause(0, nullptr, cancel);
    co_return !cancelled(cancel);
}
