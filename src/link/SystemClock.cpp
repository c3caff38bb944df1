#include "link/SystemClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cmath>

SystemClock::SystemClock() { m_elapsed.start(); }

qint64 SystemClock::tickMs() const { return m_elapsed.elapsed(); }

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

void SystemClock::waitMs(double ms)
{
    const qint64 start = tickMs();
    QCoreApplication::processEvents();
    while (double(tickMs() - start) <= ms) {
        const double left = ms - double(tickMs() - start);
        QEventLoop loop;
        QTimer::singleShot(int(std::floor(std::max(left, 0.0))) + 1, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

SystemClock &SystemClock::instance()
{
    static SystemClock clock;
    return clock;
}
