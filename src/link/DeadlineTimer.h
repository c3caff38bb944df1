#pragma once

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QtGlobal>
#include <map>

class WakeAwaiter;

// The deadlines of every wait in one thread, on a single timerfd (CLOCK_MONOTONIC, absolute time)
// that the event loop watches: the kernel wakes the loop at the earliest deadline to the
// nanosecond, where a QTimer rounds to the millisecond and costs a timer object per wait. A
// deadline already passed (a wait of 0 ms) needs no kernel timer: one zero timer lets the event
// loop run once and then ends every such wait.
class DeadlineTimer
{
public:
    using Entry = std::multimap<qint64, WakeAwaiter *>::iterator;

    // Nanoseconds on CLOCK_MONOTONIC, the clock of every deadline.
    static qint64 nowNs();
    static DeadlineTimer &forThisThread();

    ~DeadlineTimer();

    // `waiter` is told (WakeAwaiter::deadlinePassed) once `deadlineNs` has passed, unless removed first.
    Entry add(qint64 deadlineNs, WakeAwaiter *waiter);
    void remove(Entry entry);

private:
    DeadlineTimer();
    void watch();
    void arm();
    void onExpired();
    void endPassedWaits();

    int m_fd = -1;
    // Made with the application as their parent, so that they go with the event loop they belong
    // to; a later application gets new ones.
    QPointer<QSocketNotifier> m_notifier;
    QPointer<QTimer> m_passed;
    std::multimap<qint64, WakeAwaiter *> m_waits;
    // The deadline the timerfd is set to; 0 when disarmed.
    qint64 m_armedNs = 0;
};
