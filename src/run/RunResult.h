#pragma once

#include "run/StepEnd.h"

#include <QString>
#include <optional>

// How a run ended.
enum class RunResult { Pass, Fail, Stopped, Lost, Error };

// "PASS", "FAIL", "STOPPED", "LOST", "ERROR".
QString runResultText(RunResult result);
std::optional<RunResult> runResultFromText(const QString &text);
// The end of a step that a run ending so cut short; none for a run that finished.
std::optional<StepEnd> stepEndFor(RunResult result);
