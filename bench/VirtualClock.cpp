#include "VirtualClock.h"

#include "link/WakeAwaiter.h"

#include <QElapsedTimer>
#include <algorithm>

// A fixed start early in the day: a million 10 ms samples never cross midnight.
VirtualClock::VirtualClock() : m_start(QDate(2024, 1, 1), QTime(1, 0)) { }

QDateTime VirtualClock::now() const { return m_start.addMSecs(m_ms); }

QCoro::Task<> VirtualClock::pause(int ms, const Waker *waker, const CancelToken *cancel)
{
    ms = std::max(ms, 0);
    if (!waker || ms <= LongestLinkPauseMs) {
        co_await WakeAwaiter(0, nullptr, cancel);
        m_ms += ms;
        co_return;
    }
    const int realMs = std::min(ms, RealWaitCapMs);
    QElapsedTimer real;
    real.start();
    co_await WakeAwaiter(realMs, waker, cancel);
    const bool timedOut = real.elapsed() >= realMs;
    m_ms += timedOut ? ms : real.elapsed();
}
