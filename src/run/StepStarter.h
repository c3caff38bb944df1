#pragma once

#include <QString>

struct RunContext;

// Starting the pending step: highlight its row, read its cells into the run state, and send the
// commands of its function. FOR and LOOP are started and left at once.
namespace StepStarter {

enum class Outcome {
    Started,
    // FOR or LOOP moved the pointer: the pass goes back to its top.
    Jumped,
    // The step's data cannot make its commands, or a number cell cannot be read: nothing of the
    // step was sent, and the reason is in `error`.
    Failed,
    // A Stop was served while the commands were going out.
    Aborted,
};

Outcome startPendingStep(RunContext &context, QString *error);

// The functions whose step ends only by the load's own end, a measured stop or Stop.
bool isExemptFromTimeExpiry(const QString &function);

} // namespace StepStarter
