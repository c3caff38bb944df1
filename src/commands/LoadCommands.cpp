#include "commands/LoadCommands.h"

#include "commands/CommandPlan.h"
#include "model/StepColumns.h"

#include <QHash>

using namespace StepColumns;

CommandPlan LoadCommands::fixedLines(std::initializer_list<QString> lines, double waitAfterMs) const
{
    CommandPlan plan = newPlan();
    for (const QString &line : lines)
        plan.send(line);
    if (waitAfterMs > 0)
        plan.wait(waitAfterMs);
    return plan;
}

CommandPlan LoadCommands::CmdStaticLevel() const
{
    CommandPlan plan = newPlan();
    const QString mode = plan.stored(Mode);
    const QString value = plan.value(SinkValue);
    plan.send(QStringLiteral("MODE ") + mode);
    plan.send(mode + QStringLiteral(":HIGH ") + value);
    plan.send(mode + QStringLiteral(":LOW ") + value);
    plan.send(mode + QStringLiteral(":HIGH ") + value);
    return plan;
}

CommandPlan LoadCommands::CmdLoadOn() const { return fixedLines({QStringLiteral("LOAD ON")}, 100); }

CommandPlan LoadCommands::CmdLoadOff() const { return fixedLines({QStringLiteral("LOAD OFF")}); }

CommandPlan LoadCommands::CmdShortTest() const
{
    CommandPlan plan = newPlan();
    const QString time = plan.fixed4(SinkValue);
    plan.send(QStringLiteral("TCONFIG SHORT"));
    plan.send(QStringLiteral("STIME ") + time);
    plan.send(QStringLiteral("START"));
    return plan;
}

CommandPlan LoadCommands::protectionTest(const QString &test, const QString &highKey, const QString &lowKey) const
{
    CommandPlan plan = newPlan();
    plan.send(QStringLiteral("TCONFIG ") + test);
    plan.send(test + QStringLiteral(":START ") + plan.value(Start));
    // The load takes the increment as its step and the end value as its stop.
    plan.send(test + QStringLiteral(":STEP ") + plan.value(Increment));
    plan.send(test + QStringLiteral(":STOP ") + plan.value(EndValue));
    plan.send(QStringLiteral("VTH ") + plan.value(Vth));
    plan.send(highKey + u' ' + plan.value(LimitHigh));
    plan.send(lowKey + u' ' + plan.value(LimitLow));
    plan.send(QStringLiteral("NGENABLE ON"));
    return plan;
}

CommandPlan LoadCommands::CmdOcpTest() const
{
    return protectionTest(QStringLiteral("OCP"), QStringLiteral("IH"), QStringLiteral("IL"));
}

CommandPlan LoadCommands::CmdOppTest() const
{
    return protectionTest(QStringLiteral("OPP"), QStringLiteral("WH"), QStringLiteral("WL"));
}

CommandPlan LoadCommands::CmdTestStart() const { return fixedLines({QStringLiteral("START")}); }

CommandPlan LoadCommands::CmdDynamicLevels() const
{
    CommandPlan plan = newPlan();
    const QString mode = plan.stored(Mode);
    const QString high = mode + QStringLiteral(":HIGH ") + plan.value(High);
    const QString low = mode + QStringLiteral(":LOW ") + plan.value(Low);
    plan.send(QStringLiteral("MODE ") + mode);
    if (mode == QStringLiteral("CC") || mode == QStringLiteral("CP")) {
        plan.send(high);
        plan.send(low);
    } else if (mode == QStringLiteral("CR")) {
        plan.send(low);
        plan.send(high);
    }
    plan.send(QStringLiteral("PERD:HIGH ") + plan.value(THigh));
    plan.send(QStringLiteral("PERD:LOW ") + plan.value(TLow));
    plan.send(QStringLiteral("RISE ") + plan.value(Rise));
    plan.send(QStringLiteral("FALL ") + plan.value(Fall));
    return plan;
}

CommandPlan LoadCommands::CmdDynamicOff() const { return fixedLines({QStringLiteral("DYN OFF")}); }

CommandPlan LoadCommands::CmdDynamicOn() const { return fixedLines({QStringLiteral("DYN ON")}, 100); }

CommandPlan LoadCommands::CmdNormalLevels() const
{
    CommandPlan plan = newPlan();
    const QString mode = plan.stored(Mode);
    const QString value = plan.value(SinkValue);
    plan.send(QStringLiteral("MODE ") + mode);
    if (mode == QStringLiteral("CC")) {
        plan.send(mode + QStringLiteral(":HIGH ") + value);
        plan.send(mode + QStringLiteral(":LOW ") + value);
    } else if (mode == QStringLiteral("CR") || mode == QStringLiteral("CV") || mode == QStringLiteral("CP")) {
        plan.send(mode + QStringLiteral(":LOW ") + value);
        plan.send(mode + QStringLiteral(":HIGH ") + value);
    }
    return plan;
}

CommandPlan LoadCommands::CmdBatteryRampSetup() const
{
    CommandPlan plan = newPlan();
    const int count = plan.count16(TotalStep);
    plan.send(QStringLiteral("CC R2"));
    plan.send(QStringLiteral("BATT:STEP ") + QString::number(count));
    plan.send(QStringLiteral("BATT:CC0 ") + plan.value(SinkValue));
    for (int i = 1; i <= count; ++i) {
        plan.send(QStringLiteral("BATT:CC%1 ").arg(i) + plan.element(RampCc, i));
        plan.send(QStringLiteral("BATT:DTIME%1 ").arg(i) + plan.element(RampTime, i));
    }
    return finishBatteryProfile(plan);
}

// RAMP and Cycle Life both end at the load-off voltage and repeat their sub-steps.
CommandPlan LoadCommands::finishBatteryProfile(CommandPlan &plan) const
{
    plan.send(QStringLiteral("LDOFFV ") + plan.value(LoadOffV));
    plan.send(QStringLiteral("BATT:UVP ") + plan.value(LoadOffV));
    plan.send(QStringLiteral("BATT:REPEAT ") + plan.integer16(Times));
    return plan;
}

CommandPlan LoadCommands::CmdBatteryRampOn() const { return fixedLines({QStringLiteral("BATT:RAMP:CC ON")}); }

CommandPlan LoadCommands::CmdSequenceLoadOff() const { return fixedLines({QStringLiteral("SEQLD:TEST OFF")}); }

CommandPlan LoadCommands::CmdSequenceLoadSetup() const
{
    CommandPlan plan = newPlan();
    const QString type = plan.stored(Mode);
    const int count = plan.count16(TotalStep);
    const QString levelKey = type == QStringLiteral("CC") ? QStringLiteral("SEQLD:CC") : QStringLiteral("SEQLD:CP");
    plan.send(QStringLiteral("REM"));
    plan.send(QStringLiteral("SEQLD:TYPE ") + type);
    plan.send(QStringLiteral("SEQLD:TOTSTEP ") + QString::number(count));
    for (int i = 1; i <= count; ++i) {
        plan.send(levelKey + QString::number(i - 1) + u' ' + plan.element(RampCc, i));
        plan.send(QStringLiteral("SEQLD:TIME%1 ").arg(i - 1) + plan.element(RampTime, i));
    }
    plan.send(QStringLiteral("VTH ") + plan.value(LoadOffV));
    plan.send(QStringLiteral("SEQLD:REPEAT ") + plan.integer32(Times));
    return plan;
}

CommandPlan LoadCommands::CmdSequenceLoadOn() const { return fixedLines({QStringLiteral("SEQLD:TEST ON")}); }

CommandPlan LoadCommands::levelWithAddedCv(const QString &mode, bool withPauses) const
{
    CommandPlan plan = newPlan();
    plan.send(QStringLiteral("MODE ") + mode);
    if (withPauses && mode == QStringLiteral("CP"))
        plan.wait(50);
    plan.send(mode + QStringLiteral(":HIGH ") + plan.value(SinkValue));
    if (withPauses)
        plan.wait(500);
    plan.send(QStringLiteral("LIM:ADDCV:VOLT ") + plan.value(CvAdd));
    if (withPauses && mode == QStringLiteral("CP"))
        plan.wait(50);
    plan.send(QStringLiteral("LIM:ADDCV ON"));
    return plan;
}

CommandPlan LoadCommands::CmdBatteryCcCv() const { return levelWithAddedCv(QStringLiteral("CC"), true); }

CommandPlan LoadCommands::CmdBatteryCpCv() const { return levelWithAddedCv(QStringLiteral("CP"), true); }

CommandPlan LoadCommands::CmdCvCurrentLimit() const { return levelWithAddedCv(QStringLiteral("CC"), false); }

CommandPlan LoadCommands::CmdCvPowerLimit() const { return levelWithAddedCv(QStringLiteral("CP"), false); }

CommandPlan LoadCommands::batteryDischarge(const QString &levelKey, const QString &capacityKey) const
{
    CommandPlan plan = newPlan();
    plan.send(levelKey + u' ' + plan.value(SinkValue));
    plan.send(QStringLiteral("BATT:UVP ") + plan.real(VStop));
    plan.send(QStringLiteral("BATT:TIME ") + plan.fixed4(TStop));
    plan.send(capacityKey + u' ' + plan.real(AhStop));
    plan.send(QStringLiteral("BATT:TEST ON"));
    return plan;
}

CommandPlan LoadCommands::CmdBatteryDischargeCc() const
{
    return batteryDischarge(QStringLiteral("BATT:CURR"), QStringLiteral("BATT:AH"));
}

CommandPlan LoadCommands::CmdBatteryDischargeCp() const
{
    // The capacity cell is sent as an energy limit for the power discharge.
    return batteryDischarge(QStringLiteral("BATT:POWER"), QStringLiteral("BATT:WH"));
}

CommandPlan LoadCommands::CmdBatteryCycleLife() const
{
    CommandPlan plan = newPlan();
    const int count = plan.subStepCount(High);
    for (int i = 1; i <= count; ++i) {
        plan.send(QStringLiteral("BATT:CCH%1 ").arg(i) + plan.element(High, i));
        plan.send(QStringLiteral("BATT:CCL%1 ").arg(i) + plan.element(Low, i));
        plan.send(QStringLiteral("BATT:TH%1 ").arg(i) + plan.element(THigh, i));
        plan.send(QStringLiteral("BATT:TL%1 ").arg(i) + plan.element(TLow, i));
        plan.send(QStringLiteral("BATT:CYCLE%1 ").arg(i) + plan.element(CycleCount, i));
    }
    return finishBatteryProfile(plan);
}

CommandPlan LoadCommands::CmdBatteryDynamicOn() const { return fixedLines({QStringLiteral("BATT:DYN ON")}); }

CommandPlan LoadCommands::CmdExternalInput() const
{
    CommandPlan plan = newPlan();
    // The analog input's full scale is the rated current; the levels sit just above zero.
    const QString level = plan.ratedFourDecimals(60000);
    plan.send(QStringLiteral("EXT:AIN ON"));
    plan.send(QStringLiteral("CCR R2"));
    plan.send(QStringLiteral("CC:HIGH ") + level);
    plan.send(QStringLiteral("CC:LOW ") + level);
    plan.send(QStringLiteral("CC:HIGH ") + level);
    plan.send(QStringLiteral("LDONV 0.5"));
    plan.send(QStringLiteral("LDOFFV 0"));
    plan.send(QStringLiteral("LOAD ON"));
    return plan;
}

CommandPlan LoadCommands::make(FunctionCatalog::LoadCommand command) const
{
    using C = FunctionCatalog::LoadCommand;
    static const QHash<C, Builder> builders{
        {C::StaticLevel, &LoadCommands::CmdStaticLevel},
        {C::LoadOn, &LoadCommands::CmdLoadOn},
        {C::LoadOff, &LoadCommands::CmdLoadOff},
        {C::ShortTest, &LoadCommands::CmdShortTest},
        {C::OcpTest, &LoadCommands::CmdOcpTest},
        {C::OppTest, &LoadCommands::CmdOppTest},
        {C::TestStart, &LoadCommands::CmdTestStart},
        {C::DynamicLevels, &LoadCommands::CmdDynamicLevels},
        {C::DynamicOff, &LoadCommands::CmdDynamicOff},
        {C::DynamicOn, &LoadCommands::CmdDynamicOn},
        {C::NormalLevels, &LoadCommands::CmdNormalLevels},
        {C::BatteryRampSetup, &LoadCommands::CmdBatteryRampSetup},
        {C::BatteryRampOn, &LoadCommands::CmdBatteryRampOn},
        {C::SequenceLoadOff, &LoadCommands::CmdSequenceLoadOff},
        {C::SequenceLoadSetup, &LoadCommands::CmdSequenceLoadSetup},
        {C::SequenceLoadOn, &LoadCommands::CmdSequenceLoadOn},
        {C::BatteryCcCv, &LoadCommands::CmdBatteryCcCv},
        {C::BatteryCpCv, &LoadCommands::CmdBatteryCpCv},
        {C::CvCurrentLimit, &LoadCommands::CmdCvCurrentLimit},
        {C::CvPowerLimit, &LoadCommands::CmdCvPowerLimit},
        {C::BatteryDischargeCc, &LoadCommands::CmdBatteryDischargeCc},
        {C::BatteryDischargeCp, &LoadCommands::CmdBatteryDischargeCp},
        {C::BatteryCycleLife, &LoadCommands::CmdBatteryCycleLife},
        {C::BatteryDynamicOn, &LoadCommands::CmdBatteryDynamicOn},
        {C::ExternalInput, &LoadCommands::CmdExternalInput},
    };
    return (this->*builders.value(command))();
}
