#include "commands/CommandBuilder.h"

CommandBuilder::CommandBuilder(const StepValues &step) : m_step(step) { }

CommandPlan CommandBuilder::newPlan() const
{
    return CommandPlan(m_step, m_ratedCurrent ? m_ratedCurrent() : QString());
}
