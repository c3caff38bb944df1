#include "run/RunStatus.h"

#include "model/TestProgram.h"

#include <algorithm>

RunStatus::RunStatus(const RunRecorder &recorder, const TestProgram &program, QObject *parent)
    : QObject(parent), m_recorder(recorder), m_program(program)
{
    connect(&recorder, &RunRecorder::changed, this, &RunStatus::changed);
}

RunStatus::Phase RunStatus::phase() const
{
    const RunRecord &run = record();
    if (!run.started)
        return Phase::Idle;
    if (run.result) {
        switch (*run.result) {
        case RunResult::Pass:
            return Phase::FinishedPass;
        case RunResult::Fail:
            return Phase::FinishedFail;
        case RunResult::Stopped:
            return Phase::Stopped;
        case RunResult::Lost:
            return Phase::Lost;
        case RunResult::Error:
            return Phase::Error;
        }
    }
    if (run.silentSince)
        return Phase::Reconnecting;
    return run.steps.isEmpty() ? Phase::Identifying : Phase::Running;
}

double RunStatus::secondsWithoutReading() const
{
    const RunRecord &run = record();
    if (!run.silentSince)
        return 0;
    return std::max(0.0, elapsedSeconds() - (hasSample() ? run.last.elapsedSeconds : *run.silentSince));
}

QString RunStatus::text() const
{
    switch (phase()) {
    case Phase::Idle:
        return QStringLiteral("Idle");
    case Phase::Identifying:
        return QStringLiteral("Identifying");
    case Phase::Running: {
        const QList<StepRecord> &steps = record().steps;
        const StepRecord &step = record().runningStep() ? *record().runningStep() : steps.last();
        return QStringLiteral("Running step %1 of %2 (%3)").arg(step.row).arg(m_program.StepCount()).arg(step.function);
    }
    case Phase::Reconnecting:
        return QStringLiteral("Reconnecting to %1 (%2 s)")
            .arg(m_address ? m_address() : QStringLiteral("the load"))
            .arg(qint64(secondsWithoutReading()));
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

QString RunStatus::stepOfSteps() const
{
    const RunRecord &run = record();
    if (run.steps.isEmpty())
        return QString();
    const StepRecord &step = run.runningStep() ? *run.runningStep() : run.steps.last();
    return QStringLiteral("Step %1 of %2").arg(step.row).arg(m_program.StepCount());
}

QString RunStatus::timeLeft() const
{
    const std::optional<Fixed4> &left = record().stepTimeLeft;
    return phase() == Phase::Running && left ? secondsText(*left) : QString();
}

QString RunStatus::secondsText(Fixed4 seconds) { return QStringLiteral("%1 s").arg(seconds.toDouble(), 0, 'f', 1); }
