#include "FakeClock.h"

#include "link/CancelToken.h"
#include "link/WakeAwaiter.h"

FakeClock::FakeClock(QDateTime start) : m_start(std::move(start)) { }

QCoro::Task<> FakeClock::pause(int ms, const Waker *waker, const CancelToken *cancel)
{
    if (m_onPause)
        m_onPause(ms);
    co_await WakeAwaiter(0, waker, cancel);
    if (cancel && cancel->isCancelled())
        co_return;
    m_tick += ms;
    m_waited += ms;
}

QCoro::Task<bool> FakeClock::sleep(int ms, const CancelToken *cancel)
{
    m_lastSleepMs = ms;
    if (m_hold) {
        ++m_held;
        co_await WakeAwaiter(24 * 3600 * 1000, &m_release, cancel);
        --m_held;
    } else {
        co_await WakeAwaiter(0, nullptr, cancel);
    }
    if (cancel && cancel->isCancelled())
        co_return false;
    m_tick += ms;
    co_return true;
}
