#include "commands/GeneratorCommands.h"

#include "commands/CommandPlan.h"
#include "model/StepColumns.h"

using namespace StepColumns;

CommandPlan GeneratorCommands::GenCmdSine() const
{
    CommandPlan plan = newPlan();
    const QString frequency = plan.value(Frequence);
    const QString ac = plan.scaled(IAc);
    const QString dc = plan.scaled(IDc);
    plan.send(QStringLiteral("SOUR1:APPL:SIN ") + frequency + u',' + ac + u',' + dc);
    plan.send(QStringLiteral("OUTP ON"));
    return plan;
}

CommandPlan GeneratorCommands::GenCmdPulse() const
{
    CommandPlan plan = newPlan();
    const QString frequency = plan.value(Frequence);
    const QString low = plan.scaled(Low);
    const QString high = plan.scaled(High);
    const QString rise = plan.value(Rise);
    plan.send(QStringLiteral("SOUR1:APPL:PULS ") + frequency + u',' + low + u',' + high);
    plan.send(QStringLiteral("SOUR1:PULS:WIDT ") + plan.value(THigh) + QStringLiteral("us"));
    plan.send(QStringLiteral("SOUR1:PULS:DCYC ") + plan.value(Duty));
    // The generator's edge keyword is spelt this way.
    plan.send(QStringLiteral("SOUR1:PULS:EGDE ") + rise + QStringLiteral("us"));
    plan.send(QStringLiteral("SOUR1:PULS:RISE ") + rise + QStringLiteral("us"));
    plan.send(QStringLiteral("SOUR1:PULS:FALL ") + plan.value(Fall) + QStringLiteral("us"));
    plan.send(QStringLiteral("OUTP ON"));
    return plan;
}

CommandPlan GeneratorCommands::GenCmdOutputOff() const
{
    CommandPlan plan = newPlan();
    plan.send(QStringLiteral("OUTP OFF"));
    return plan;
}
