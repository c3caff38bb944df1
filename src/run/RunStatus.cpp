#include "run/RunStatus.h"

#include "link/Clock.h"
#include "model/TestProgram.h"

using Result = RunEvents::Result;

RunStatus::RunStatus(RunEvents &events, const TestProgram &program, Clock &clock, QObject *parent)
    : QObject(parent), m_program(program), m_clock(clock)
{
    connect(&events, &RunEvents::runStarted, this, [this] {
        m_startTick = m_clock.tickMs();
        m_endTick = -1;
        m_step = 0;
        m_function.clear();
        m_timeLeft.clear();
        m_hasSample = false;
        m_sample = {};
        setPhase(Phase::Identifying);
    });
    connect(&events, &RunEvents::stepStarted, this, [this](int step, const QString &function) {
        m_step = step;
        m_function = function;
        m_timeLeft.clear();
        setPhase(Phase::Running);
    });
    connect(&events, &RunEvents::stepTimeLeftChanged, this, [this](const QString &text) {
        m_timeLeft = text;
        Q_EMIT changed();
    });
    connect(&events, &RunEvents::sample, this, [this](const RunEvents::Sample &sample) {
        m_sample = sample;
        m_hasSample = true;
        Q_EMIT changed();
    });
    connect(&events, &RunEvents::runEnded, this, [this](Result result) {
        m_endTick = m_clock.tickMs();
        switch (result) {
        case Result::Pass:
            setPhase(Phase::FinishedPass);
            break;
        case Result::Fail:
            setPhase(Phase::FinishedFail);
            break;
        case Result::Stopped:
            setPhase(Phase::Stopped);
            break;
        case Result::Lost:
            setPhase(Phase::Lost);
            break;
        case Result::Error:
            setPhase(Phase::Error);
            break;
        }
    });
}

void RunStatus::setPhase(Phase phase)
{
    m_phase = phase;
    Q_EMIT changed();
}

QString RunStatus::text() const
{
    switch (m_phase) {
    case Phase::Idle:
        return QStringLiteral("Idle");
    case Phase::Identifying:
        return QStringLiteral("Identifying");
    case Phase::Running:
        return QStringLiteral("Running step %1 of %2 (%3)").arg(m_step).arg(m_program.StepCount()).arg(m_function);
    case Phase::Stopped:
        return QStringLiteral("Stopped");
    case Phase::FinishedPass:
        return QStringLiteral("Finished PASS");
    case Phase::FinishedFail:
        return QStringLiteral("Finished FAIL");
    case Phase::Lost:
        return QStringLiteral("Lost");
    case Phase::Error:
        return QStringLiteral("Ended by an error");
    }
    return QString();
}

double RunStatus::elapsedSeconds() const
{
    if (m_phase == Phase::Idle)
        return 0;
    const qint64 end = m_endTick >= 0 ? m_endTick : m_clock.tickMs();
    return double(end - m_startTick) / 1000.0;
}
