#pragma once

#include "run/RunEvents.h"

#include <QObject>

class Clock;
class TestProgram;

// Where the run stands, for a glance from across the bench: what it is doing, how long it has
// been going, the step's time left and the latest reading. A listener of the run's events.
class RunStatus : public QObject
{
    Q_OBJECT

public:
    enum class Phase { Idle, Identifying, Running, Stopped, FinishedPass, FinishedFail, Lost, Error };
    Q_ENUM(Phase)

    RunStatus(RunEvents &events, const TestProgram &program, Clock &clock, QObject *parent = nullptr);

    Phase phase() const { return m_phase; }
    // "Idle", "Identifying", "Running step 3 of 8 (Discharge)", "Stopped", "Finished PASS", ...
    QString text() const;
    // Since Run; held once the run has ended.
    double elapsedSeconds() const;
    // The running step's time left as the step time box shows it; "" when the step has none.
    QString timeLeft() const { return m_phase == Phase::Running ? m_timeLeft : QString(); }
    // The latest sample of this run; none before its first.
    const RunEvents::Sample &lastSample() const { return m_sample; }
    bool hasSample() const { return m_hasSample; }

Q_SIGNALS:
    void changed();

private:
    void setPhase(Phase phase);

    const TestProgram &m_program;
    Clock &m_clock;
    Phase m_phase = Phase::Idle;
    int m_step = 0;
    QString m_function;
    QString m_timeLeft;
    qint64 m_startTick = 0;
    qint64 m_endTick = -1;
    RunEvents::Sample m_sample;
    bool m_hasSample = false;
};
