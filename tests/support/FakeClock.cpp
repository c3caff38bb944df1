#include "FakeClock.h"

#include <QCoreApplication>
#include <cmath>

FakeClock::FakeClock(QDateTime start) : m_start(std::move(start)) { }

void FakeClock::waitMs(double ms)
{
    const qint64 step = qint64(std::floor(std::max(ms, 0.0))) + 1;
    m_tick += step;
    m_waited += double(step);
    QCoreApplication::processEvents();
}
