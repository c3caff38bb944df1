#include "link/SystemClock.h"

#include "link/WakeAwaiter.h"

SystemClock::SystemClock() { m_elapsed.start(); }

qint64 SystemClock::tickMs() const { return m_elapsed.elapsed(); }

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

QCoro::Task<> SystemClock::pause(int ms, const Waker *waker, const CancelToken *cancel)
{
    co_await WakeAwaiter(ms, waker, cancel);
}

SystemClock &SystemClock::instance()
{
    static SystemClock clock;
    return clock;
}
