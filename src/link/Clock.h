#pragma once

#include <QDateTime>
#include <QtGlobal>
#include <functional>

// The one source of time for the engine. Tests replace it with a fake clock so that the timing
// arithmetic is checked without sleeping.
class Clock
{
public:
    virtual ~Clock() = default;

    // Milliseconds on a monotonic counter: time-outs and intervals never jump at midnight.
    virtual qint64 tickMs() const = 0;
    // The local date and time.
    virtual QDateTime now() const = 0;
    // WaitMs: returns only once more than `ms` milliseconds have passed on the tick counter,
    // keeping the event loop running meanwhile (timers, sockets and buttons are served).
    virtual void waitMs(double ms) = 0;
    // A reply wait: returns once `done` holds or at least `ms` milliseconds have passed, keeping the
    // event loop running; `done` is checked whenever pending events have been served. Returns `done`.
    virtual bool waitUntil(double ms, const std::function<bool()> &done);

    // Seconds since midnight, with the fraction.
    double secondsSinceMidnight() const;
};
