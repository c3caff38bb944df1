#pragma once

#include "commands/CommandPlan.h"

#include <QString>
#include <functional>

struct StepValues;

// What the load and generator builders share: the running step they read and the load's rated
// current. A builder only makes its plan (its lines and pauses, or why they cannot be made); the
// run sends it.
class CommandBuilder
{
public:
    explicit CommandBuilder(const StepValues &step);
    virtual ~CommandBuilder() = default;

    // The rated current as identification found it, read when a builder runs.
    void setRatedCurrent(std::function<QString()> ratedCurrent) { m_ratedCurrent = std::move(ratedCurrent); }

protected:
    CommandPlan newPlan() const;

    const StepValues &m_step;

private:
    std::function<QString()> m_ratedCurrent;
};
