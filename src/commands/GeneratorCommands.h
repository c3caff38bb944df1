#pragma once

#include "commands/CommandBuilder.h"

// The generator's command builders for the two functions that drive the load's external input.
// Currents become generator levels on a scale where 10 is the load's rated current.
class GeneratorCommands : public CommandBuilder
{
public:
    using Builder = CommandResult (GeneratorCommands::*)();

    using CommandBuilder::CommandBuilder;

    // The result the builder would give, without sending anything.
    CommandResult check(Builder builder) { return checkOnly(*this, builder); }

    CommandResult GenCmdSine();
    CommandResult GenCmdPulse();
    CommandResult GenCmdOutputOff();
};
