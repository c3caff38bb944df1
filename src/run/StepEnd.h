#pragma once

#include <QString>
#include <optional>

// How a step ended.
enum class StepEnd {
    // Still running.
    None,
    Time,
    Voltage,
    Current,
    Capacity,
    // The load's own test ended.
    Load,
    Stopped,
    Lost,
    Error,
};

// "time", "voltage", "current", "capacity", "load", "stopped", "lost", "error"; "" while it runs:
// the texts the summary, its JSON and the store keep.
QString stepEndText(StepEnd end);
// The end a stored text names; none for a text that names no end.
std::optional<StepEnd> stepEndFromText(const QString &text);
