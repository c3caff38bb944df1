#include "run/RunContext.h"

#include "run/RunState.h"

bool RunContext::endStep(qint16 pending)
{
    if (stepEndedThisPass)
        return false;
    stepEndedThisPass = true;
    state.StepPointer += 1;
    state.StepPending = pending;
    return true;
}
