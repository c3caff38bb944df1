#pragma once

#include "commands/CommandBuilder.h"
#include "model/FunctionCatalog.h"

// The load's command builders: each makes the lines that set up or start one function of the
// running step. A plan whose data cannot make all of its lines carries the problem and is never
// sent.
class LoadCommands : public CommandBuilder
{
public:
    using Builder = CommandPlan (LoadCommands::*)() const;

    using CommandBuilder::CommandBuilder;

    // The plan of the builder a function's descriptor names.
    CommandPlan make(FunctionCatalog::LoadCommand command) const;

    CommandPlan CmdStaticLevel() const;
    CommandPlan CmdLoadOn() const;
    CommandPlan CmdLoadOff() const;
    CommandPlan CmdShortTest() const;
    CommandPlan CmdOcpTest() const;
    CommandPlan CmdOppTest() const;
    CommandPlan CmdTestStart() const;
    CommandPlan CmdDynamicLevels() const;
    CommandPlan CmdDynamicOff() const;
    CommandPlan CmdDynamicOn() const;
    CommandPlan CmdNormalLevels() const;
    CommandPlan CmdBatteryRampSetup() const;
    CommandPlan CmdBatteryRampOn() const;
    CommandPlan CmdSequenceLoadOff() const;
    CommandPlan CmdSequenceLoadSetup() const;
    CommandPlan CmdSequenceLoadOn() const;
    CommandPlan CmdBatteryCcCv() const;
    CommandPlan CmdBatteryCpCv() const;
    CommandPlan CmdCvCurrentLimit() const;
    CommandPlan CmdCvPowerLimit() const;
    CommandPlan CmdBatteryDischargeCc() const;
    CommandPlan CmdBatteryDischargeCp() const;
    CommandPlan CmdBatteryCycleLife() const;
    CommandPlan CmdBatteryDynamicOn() const;
    CommandPlan CmdExternalInput() const;

private:
    CommandPlan fixedLines(std::initializer_list<QString> lines, double waitAfterMs = 0) const;
    CommandPlan protectionTest(const QString &test, const QString &highKey, const QString &lowKey) const;
    CommandPlan levelWithAddedCv(const QString &mode, bool withPauses) const;
    CommandPlan batteryDischarge(const QString &levelKey, const QString &capacityKey) const;
    CommandPlan finishBatteryProfile(CommandPlan &plan) const;
};
