#include "link/DeadlineTimer.h"

#include "link/WakeAwaiter.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr qint64 NsPerSecond = 1'000'000'000;

itimerspec at(qint64 ns)
{
    itimerspec spec{};
    spec.it_value.tv_sec = time_t(ns / NsPerSecond);
    spec.it_value.tv_nsec = long(ns % NsPerSecond);
    return spec;
}

} // namespace

qint64 DeadlineTimer::nowNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * NsPerSecond + now.tv_nsec;
}

DeadlineTimer &DeadlineTimer::forThisThread()
{
    thread_local DeadlineTimer timer;
    return timer;
}

DeadlineTimer::DeadlineTimer()
{
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd < 0)
        qFatal("timerfd_create failed: the waits of the run cannot be timed");
}

DeadlineTimer::~DeadlineTimer()
{
    delete m_notifier.data();
    delete m_passed.data();
    ::close(m_fd);
}

void DeadlineTimer::watch()
{
    if (m_notifier && m_passed)
        return;
    delete m_notifier.data();
    delete m_passed.data();
    QCoreApplication *application = QCoreApplication::instance();
    QObject *owner = application && application->thread() == QThread::currentThread() ? application : nullptr;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, owner);
    QObject::connect(m_notifier.data(), &QSocketNotifier::activated, [this] { onExpired(); });
    m_passed = new QTimer(owner);
    m_passed->setSingleShot(true);
    QObject::connect(m_passed.data(), &QTimer::timeout, [this] { endPassedWaits(); });
    // Whatever the timerfd was set to before belongs to the event loop that is gone.
    m_armedNs = 0;
}

DeadlineTimer::Entry DeadlineTimer::add(qint64 deadlineNs, WakeAwaiter *waiter)
{
    watch();
    // A deadline already passed counts from now: the waits it ends are those of this turn of the
    // event loop, never one that a wait ended in it starts (which would then never yield).
    const qint64 now = nowNs();
    const Entry entry = m_waits.emplace(std::max(deadlineNs, now), waiter);
    if (entry == m_waits.begin())
        arm();
    return entry;
}

void DeadlineTimer::remove(Entry entry)
{
    // The timerfd stays armed for a wait that ended early (a reply came): the next wait re-arms it
    // before that, as a run waits again at once, and otherwise it costs one idle wake-up. This
    // saves a system call per wait.
    m_waits.erase(entry);
}

void DeadlineTimer::arm()
{
    if (m_waits.empty())
        return;
    const qint64 earliest = m_waits.begin()->first;
    // A deadline already passed (or passing while the waits before it were ended) is the zero
    // timer's.
    if (earliest <= nowNs()) {
        if (!m_passed->isActive())
            m_passed->start(0);
        return;
    }
    if (earliest == m_armedNs)
        return;
    m_armedNs = earliest;
    const itimerspec spec = at(m_armedNs);
    ::timerfd_settime(m_fd, TFD_TIMER_ABSTIME, &spec, nullptr);
}

void DeadlineTimer::onExpired()
{
    quint64 expirations = 0;
    if (::read(m_fd, &expirations, sizeof expirations) < 0 && errno != EAGAIN)
        return;
    m_armedNs = 0;
    endPassedWaits();
}

void DeadlineTimer::endPassedWaits()
{
    const qint64 now = nowNs();
    // A wait resumed here may add or end others: the earliest is looked up afresh each time. A
    // wait added meanwhile has a deadline after `now` (see add), so a loop of zero waits yields.
    while (!m_waits.empty() && m_waits.begin()->first <= now)
        m_waits.begin()->second->deadlinePassed();
    arm();
}
