#pragma once

#include "link/Clock.h"

// A clock the test moves by hand; waits advance it instead of sleeping.
class FakeClock : public Clock
{
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(12, 0)));

    qint64 tickMs() const override { return m_tick; }
    QDateTime now() const override { return m_start.addMSecs(m_tick); }
    // Moves time past the wait (by its whole milliseconds plus one) and serves pending events once.
    void waitMs(double ms) override;

    void advance(qint64 ms) { m_tick += ms; }
    double totalWaitedMs() const { return m_waited; }

private:
    QDateTime m_start;
    qint64 m_tick = 0;
    double m_waited = 0;
};
