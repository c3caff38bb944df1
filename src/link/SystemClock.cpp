#include "link/SystemClock.h"

#include "link/WakeAwaiter.h"

SystemClock::SystemClock()
{
    // Every row takes the local time a few times. Without TZ, glibc looks at /etc/localtime again
    // at each of them (a stat per conversion); naming the file makes it read the zone once.
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    m_elapsed.start();
}

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
