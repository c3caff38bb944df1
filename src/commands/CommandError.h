#pragma once

#include <QString>
#include <optional>

// Why a step's commands cannot be made from its data. Nothing of the step has been sent when a
// builder reports one, so the run can end cleanly instead of leaving the load half set up.
struct CommandError
{
    // The step number (the row of the step table).
    int step = 0;
    // The column of the step table that is at fault; NoColumn when it is the rated current.
    int column = NoColumn;
    QString problem;

    static constexpr int NoColumn = -1;

    // "Step 3, column 23 "Ramp CC": ..." or "Step 3, rated current: ...".
    QString text() const;

    bool operator==(const CommandError &) const = default;
};

// Empty when the builder sent its lines (or stopped because the run ended); the error otherwise.
using CommandResult = std::optional<CommandError>;
