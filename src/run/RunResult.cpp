#include "run/RunResult.h"

#include <array>

QString runResultText(RunResult result)
{
    switch (result) {
    case RunResult::Pass:
        return QStringLiteral("PASS");
    case RunResult::Fail:
        return QStringLiteral("FAIL");
    case RunResult::Stopped:
        return QStringLiteral("STOPPED");
    case RunResult::Lost:
        return QStringLiteral("LOST");
    case RunResult::Error:
        break;
    }
    return QStringLiteral("ERROR");
}

std::optional<RunResult> runResultFromText(const QString &text)
{
    for (RunResult result :
        std::array{RunResult::Pass, RunResult::Fail, RunResult::Stopped, RunResult::Lost, RunResult::Error})
        if (runResultText(result) == text)
            return result;
    return std::nullopt;
}

std::optional<StepEnd> stepEndFor(RunResult result)
{
    switch (result) {
    case RunResult::Stopped:
        return StepEnd::Stopped;
    case RunResult::Lost:
        return StepEnd::Lost;
    case RunResult::Error:
        return StepEnd::Error;
    case RunResult::Pass:
    case RunResult::Fail:
        break;
    }
    return std::nullopt;
}
