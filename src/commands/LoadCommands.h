#pragma once

#include "commands/CommandBuilder.h"

class CommandPlan;

// The load's command builders: each sends the lines that set up or start one function of the
// running step. Every builder makes all of its lines first; when the step's data cannot make
// them, it sends nothing and returns the problem.
class LoadCommands : public CommandBuilder
{
public:
    using Builder = CommandResult (LoadCommands::*)();

    using CommandBuilder::CommandBuilder;

    // Where the step editor is at hand it names the number of Cycle Life sub-steps to send;
    // without it the step's own CCH list gives the number.
    void setCycleLifeCount(std::function<int()> count) { m_cycleLifeCount = std::move(count); }

    // The result the builder would give, without sending anything.
    CommandResult check(Builder builder) { return checkOnly(*this, builder); }

    CommandResult CmdStaticLevel();
    CommandResult CmdLoadOn();
    CommandResult CmdLoadOff();
    CommandResult CmdShortTest();
    CommandResult CmdOcpTest();
    CommandResult CmdOppTest();
    CommandResult CmdTestStart();
    CommandResult CmdDynamicLevels();
    CommandResult CmdDynamicOff();
    CommandResult CmdDynamicOn();
    CommandResult CmdNormalLevels();
    CommandResult CmdBatteryRampSetup();
    CommandResult CmdBatteryRampOn();
    CommandResult CmdSequenceLoadOff();
    CommandResult CmdSequenceLoadSetup();
    CommandResult CmdSequenceLoadOn();
    CommandResult CmdBatteryCcCv();
    CommandResult CmdBatteryCpCv();
    CommandResult CmdCvCurrentLimit();
    CommandResult CmdCvPowerLimit();
    CommandResult CmdBatteryDischargeCc();
    CommandResult CmdBatteryDischargeCp();
    CommandResult CmdBatteryCycleLife();
    CommandResult CmdBatteryDynamicOn();
    CommandResult CmdExternalInput();

private:
    CommandResult fixedLines(std::initializer_list<QString> lines, double waitAfterMs = 0);
    CommandResult protectionTest(const QString &test, const QString &highKey, const QString &lowKey);
    CommandResult levelWithAddedCv(const QString &mode, bool withPauses);
    CommandResult batteryDischarge(const QString &levelKey, const QString &capacityKey);
    CommandResult finishBatteryProfile(CommandPlan &plan);

    std::function<int()> m_cycleLifeCount;
};
