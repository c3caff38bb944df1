#include "link/WakeAwaiter.h"

#include "link/CancelToken.h"
#include "link/Waker.h"

WakeAwaiter::WakeAwaiter(int ms, const Waker *waker, const CancelToken *cancel)
    : m_ms(ms), m_waker(waker), m_cancel(cancel)
{ }

WakeAwaiter::WakeAwaiter(WakeAwaiter &&other) noexcept
    : m_ms(other.m_ms), m_waker(other.m_waker), m_cancel(other.m_cancel)
{ }

WakeAwaiter::~WakeAwaiter() { release(); }

bool WakeAwaiter::await_ready() const { return m_cancel && m_cancel->isCancelled(); }

void WakeAwaiter::await_suspend(std::coroutine_handle<> handle)
{
    m_handle = handle;
    m_timer = new QTimer(const_cast<Waker *>(m_waker));
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timeout = QObject::connect(m_timer, &QTimer::timeout, [this] { resumeOnce(); });
    if (m_waker)
        m_woken = QObject::connect(m_waker, &Waker::woken, [this] { resumeOnce(); });
    if (m_cancel)
        m_cancelled = QObject::connect(m_cancel, &CancelToken::cancelled, [this] { resumeOnce(); });
    m_timer->start(std::max(m_ms, 0));
}

void WakeAwaiter::resumeOnce()
{
    release();
    if (auto handle = std::exchange(m_handle, nullptr))
        handle.resume();
}

void WakeAwaiter::release()
{
    QObject::disconnect(m_timeout);
    QObject::disconnect(m_woken);
    QObject::disconnect(m_cancelled);
    if (m_timer) {
        m_timer->stop();
        // The timer may be the very sender whose signal resumed us: it goes once that has returned.
        m_timer->deleteLater();
        m_timer = nullptr;
    }
}
