#include "link/SystemClock.h"

#include <QAbstractEventDispatcher>
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

bool SystemClock::waitUntil(double ms, const std::function<bool()> &done)
{
    const qint64 start = tickMs();
    QCoreApplication::processEvents();
    while (!done()) {
        const double left = ms - double(tickMs() - start);
        if (left <= 0)
            break;
        QEventLoop loop;
        // The event loop announces that it is about to sleep once it has served everything pending:
        // the one moment a reply can have changed `done` without any polling.
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
            if (done())
                loop.quit();
        });
        QTimer::singleShot(int(std::ceil(left)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

SystemClock &SystemClock::instance()
{
    static SystemClock clock;
    return clock;
}
