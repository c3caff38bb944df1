#pragma once

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QtGlobal>
#include <functional>

class CancelToken;
class Waker;

// The one source of time for the engine. Tests replace it with a fake clock so that the timing
// arithmetic is checked without sleeping. Every wait is an awaitable that keeps the event loop
// free and that a cancelled token ends at once.
class Clock
{
public:
    virtual ~Clock() = default;

    // Milliseconds on a monotonic counter: time-outs and intervals never jump at midnight.
    virtual qint64 tickMs() const = 0;
    // The local date and time.
    virtual QDateTime now() const = 0;

    // WaitMs: resumes only once more than `ms` milliseconds have passed on the tick counter.
    // False when `cancel` ended the wait first. With `owner`, the wait belongs to it (see
    // WakeAwaiter): an object's pauses give their own waker.
    QCoro::Task<bool> waitMs(double ms, const CancelToken *cancel = nullptr, const Waker *owner = nullptr);
    // A reply wait: resumes once `done` holds or `ms` milliseconds have passed; `done` is asked
    // again whenever `waker` fires. Returns `done`.
    QCoro::Task<bool> waitUntil(
        double ms, std::function<bool()> done, const Waker *waker, const CancelToken *cancel = nullptr);
    // A timer's interval: resumes once `ms` milliseconds have passed. False when cancelled.
    virtual QCoro::Task<bool> sleep(int ms, const CancelToken *cancel);
    // A timer's interval that ends at a tick: resumes when the tick counter reaches `tick`, at
    // once when it is there already. False when cancelled.
    virtual QCoro::Task<bool> sleepUntil(qint64 tick, const CancelToken *cancel);
    // Lets everything pending in the event loop run once.
    QCoro::Task<bool> yield(const CancelToken *cancel);

    // Seconds since midnight, with the fraction.
    double secondsSinceMidnight() const;

protected:
    // One suspension: at most `ms` milliseconds, less when `waker` or `cancel` fire.
    virtual QCoro::Task<> pause(int ms, const Waker *waker, const CancelToken *cancel) = 0;
};
