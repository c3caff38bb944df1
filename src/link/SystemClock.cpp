#include "link/SystemClock.h"

#include "link/CancelToken.h"
#include "link/DeadlineTimer.h"
#include "link/WakeAwaiter.h"

#include <algorithm>

namespace {
constexpr qint64 NsPerMs = 1'000'000;
} // namespace

SystemClock::SystemClock()
{
    // Every row takes the local time a few times. Without TZ, glibc looks at /etc/localtime again
    // at each of them (a stat per conversion); naming the file makes it read the zone once.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    m_startNs = DeadlineTimer::nowNs();
}

qint64 SystemClock::tickMs() const { return (DeadlineTimer::nowNs() - m_startNs) / NsPerMs; }

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

QCoro::Task<> SystemClock::pause(int ms, const Waker *waker, const CancelToken *cancel)
{
    // Waits count whole milliseconds on the tick counter: a pause ends as the tick it counts to
    // begins, which is the moment the wait's condition holds (WaitMs: more than `ms` have passed).
    // A pause woken early and begun again for the same tick keeps the timer as it is set.
    co_await WakeAwaiter::until(m_startNs + (tickMs() + std::max(ms, 0)) * NsPerMs, waker, cancel);
}

QCoro::Task<bool> SystemClock::sleepUntil(qint64 tick, const CancelToken *cancel)
{
    co_await WakeAwaiter::until(m_startNs + tick * NsPerMs, nullptr, cancel);
    co_return !(cancel && cancel->isCancelled());
}

SystemClock &SystemClock::instance()
{
    static SystemClock clock;
    return clock;
}
