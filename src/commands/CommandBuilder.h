#pragma once

#include "commands/CommandError.h"

#include <QString>
#include <functional>

class Clock;
class CommandPlan;
class InstrumentLink;
struct RunState;

// What the load and generator builders share: the link they send on, the clock their pauses go
// through, the running step they read, the load's rated current, and the run's stop test.
class CommandBuilder
{
public:
    CommandBuilder(InstrumentLink &link, Clock &clock, const RunState &state);
    virtual ~CommandBuilder() = default;

    // The rated current as identification found it, read when a builder runs.
    void setRatedCurrent(std::function<QString()> ratedCurrent) { m_ratedCurrent = std::move(ratedCurrent); }
    // Asked after every line and pause; false ends the builder at once (a Stop was served).
    void setStillRunning(std::function<bool()> stillRunning) { m_stillRunning = std::move(stillRunning); }

protected:
    CommandPlan newPlan() const;
    // Sends the plan unless it has an error or only a check was asked for.
    CommandResult perform(const CommandPlan &plan);

    // Runs a builder for its check alone: it makes its plan and sends nothing.
    template <typename Self> CommandResult checkOnly(Self &self, CommandResult (Self::*builder)())
    {
        m_checkOnly = true;
        const CommandResult result = (self.*builder)();
        m_checkOnly = false;
        return result;
    }

    const RunState &m_state;

private:
    InstrumentLink &m_link;
    Clock &m_clock;
    std::function<QString()> m_ratedCurrent;
    std::function<bool()> m_stillRunning;
    bool m_checkOnly = false;
};
