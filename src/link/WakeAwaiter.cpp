#include "link/WakeAwaiter.h"

#include "link/CancelToken.h"
#include "link/Waker.h"

namespace {
constexpr qint64 NsPerMs = 1'000'000;
constexpr qint64 NoDeadline = -1;
} // namespace

WakeAwaiter::WakeAwaiter(qint64 ms, qint64 deadlineNs, const Waker *waker, const CancelToken *cancel)
    : m_ms(ms), m_deadlineNs(deadlineNs), m_waker(waker), m_cancel(cancel)
{ }

WakeAwaiter::WakeAwaiter(int ms, const Waker *waker, const CancelToken *cancel)
    : WakeAwaiter(std::max(ms, 0), NoDeadline, waker, cancel)
{ }

WakeAwaiter WakeAwaiter::until(qint64 deadlineNs, const Waker *waker, const CancelToken *cancel)
{
    return WakeAwaiter(0, deadlineNs, waker, cancel);
}

WakeAwaiter::WakeAwaiter(WakeAwaiter &&other) noexcept
    : WakeAwaiter(other.m_ms, other.m_deadlineNs, other.m_waker, other.m_cancel)
{ }

WakeAwaiter::~WakeAwaiter() { release(); }

bool WakeAwaiter::await_ready() const { return m_cancel && m_cancel->isCancelled(); }

void WakeAwaiter::await_suspend(std::coroutine_handle<> handle)
{
    m_handle = handle;
    const qint64 deadline = m_deadlineNs != NoDeadline ? m_deadlineNs : DeadlineTimer::nowNs() + m_ms * NsPerMs;
    m_timer = &DeadlineTimer::forThisThread();
    m_entry = m_timer->add(deadline, this);
    if (m_waker) {
        m_wakerAlive = m_waker;
        m_woken = QObject::connect(m_waker, &Waker::woken, [this] { resumeOnce(); });
    }
    if (m_cancel)
        m_cancelled = QObject::connect(m_cancel, &CancelToken::cancelled, [this] { resumeOnce(); });
}

void WakeAwaiter::deadlinePassed()
{
    // A waker that is gone takes its waits with it: they are let go of, never resumed.
    if (m_waker && !m_wakerAlive) {
        release();
        m_handle = nullptr;
        return;
    }
    resumeOnce();
}

void WakeAwaiter::resumeOnce()
{
    release();
    if (auto handle = std::exchange(m_handle, nullptr))
        handle.resume();
}

void WakeAwaiter::release()
{
    if (m_woken)
        QObject::disconnect(m_woken);
    if (m_cancelled)
        QObject::disconnect(m_cancelled);
    if (m_timer) {
        m_timer->remove(m_entry);
        m_timer = nullptr;
    }
}
