#pragma once

#include "commands/CommandBuilder.h"

// The generator's command builders for the two functions that drive the load's external input.
// Currents become generator levels on a scale where 10 is the load's rated current.
class GeneratorCommands : public CommandBuilder
{
public:
    using Builder = CommandPlan (GeneratorCommands::*)() const;

    using CommandBuilder::CommandBuilder;

    CommandPlan GenCmdSine() const;
    CommandPlan GenCmdPulse() const;
    CommandPlan GenCmdOutputOff() const;
};
