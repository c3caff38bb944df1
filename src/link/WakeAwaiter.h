#pragma once

#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <coroutine>

class CancelToken;
class Waker;

// Suspends a coroutine until the first of: `ms` have passed, `waker` fires, `cancel` fires. Either
// source may be absent. The coroutine is resumed once, and the other sources are let go of first.
// The wait belongs to its waker: when the waker's owner is destroyed first, the wait never ends,
// so a coroutine of an object that is gone is never resumed into it.
class WakeAwaiter
{
public:
    WakeAwaiter(int ms, const Waker *waker, const CancelToken *cancel);
    // Moved only before it is awaited, as the coroutine machinery hands it on.
    WakeAwaiter(WakeAwaiter &&other) noexcept;
    WakeAwaiter &operator=(WakeAwaiter &&) = delete;
    ~WakeAwaiter();

    bool await_ready() const;
    void await_suspend(std::coroutine_handle<> handle);
    void await_resume() { release(); }

private:
    void resumeOnce();
    void release();

    int m_ms;
    const Waker *m_waker;
    const CancelToken *m_cancel;
    QPointer<QTimer> m_timer;
    QMetaObject::Connection m_timeout, m_woken, m_cancelled;
    std::coroutine_handle<> m_handle;
};
