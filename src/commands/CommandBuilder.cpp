#include "commands/CommandBuilder.h"

#include "commands/CommandPlan.h"

CommandBuilder::CommandBuilder(InstrumentLink &link, Clock &clock, const RunState &state)
    : m_state(state), m_link(link), m_clock(clock)
{ }

CommandPlan CommandBuilder::newPlan() const
{
    return CommandPlan(m_state, m_ratedCurrent ? m_ratedCurrent() : QString());
}

CommandResult CommandBuilder::perform(const CommandPlan &plan)
{
    if (plan.error() || m_checkOnly)
        return plan.error();
    plan.sendTo(m_link, m_clock, m_stillRunning);
    return std::nullopt;
}
