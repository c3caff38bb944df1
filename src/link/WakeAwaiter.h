#pragma once

#include "link/DeadlineTimer.h"

#include <QMetaObject>
#include <QPointer>
#include <coroutine>

class CancelToken;
class Waker;

// Suspends a coroutine until the first of: its deadline has passed, `waker` fires, `cancel` fires.
// Either source may be absent. The coroutine is resumed once, and the other sources are let go of
// first. The wait belongs to its waker: when the waker is destroyed first, the wait never ends, so
// a coroutine of an object that is gone is never resumed into it.
class WakeAwaiter
{
public:
    // The deadline is `ms` after the coroutine suspends.
    WakeAwaiter(int ms, const Waker *waker, const CancelToken *cancel);
    // The deadline is `deadlineNs` on CLOCK_MONOTONIC (DeadlineTimer::nowNs).
    static WakeAwaiter until(qint64 deadlineNs, const Waker *waker, const CancelToken *cancel);
    // Moved only before it is awaited, as the coroutine machinery hands it on.
    WakeAwaiter(WakeAwaiter &&other) noexcept;
    WakeAwaiter &operator=(WakeAwaiter &&) = delete;
    ~WakeAwaiter();

    bool await_ready() const;
    void await_suspend(std::coroutine_handle<> handle);
    void await_resume() { release(); }

    // From the thread's DeadlineTimer.
    void deadlinePassed();

private:
    WakeAwaiter(qint64 ms, qint64 deadlineNs, const Waker *waker, const CancelToken *cancel);
    void resumeOnce();
    void release();

    qint64 m_ms;
    // Absolute when set; otherwise m_ms from the suspension.
    qint64 m_deadlineNs;
    const Waker *m_waker;
    QPointer<const Waker> m_wakerAlive;
    const CancelToken *m_cancel;
    DeadlineTimer *m_timer = nullptr;
    DeadlineTimer::Entry m_entry;
    QMetaObject::Connection m_woken, m_cancelled;
    std::coroutine_handle<> m_handle;
};
