#include "run/LoadTestSupervisor.h"

#include "link/Clock.h"
#include "link/InstrumentLink.h"
#include "link/TraceList.h"
#include "model/NumberText.h"
#include "model/StepColumns.h"
#include "run/ErrorTrail.h"
#include "run/ResultRows.h"
#include "run/RunContext.h"
#include "run/RunState.h"

#include <QRegularExpression>

namespace LoadTestSupervisor {

namespace {

struct Pass
{
    RunContext &context;
    int *failVerdicts;
    bool aborted = false;
    bool logFailed = false;

    QString ask(const QString &query)
    {
        const QString reply = context.load.ask(query);
        aborted = aborted || !context.stillRunning();
        return reply;
    }
    void wait(double ms)
    {
        context.clock.waitMs(ms);
        aborted = aborted || !context.stillRunning();
    }
    // "TESTING?": true once the load reports the end of its test. A missing reply is no answer:
    // the next pass asks again.
    bool testEnded()
    {
        const QString reply = ask(QStringLiteral("TESTING?"));
        if (aborted)
            return false;
        if (reply == ErrRec) {
            context.trace.TraceLine(reply);
            context.errorTrail.append(QStringLiteral("ErrT,"));
            return false;
        }
        return NumberText::lenient(reply) == 0;
    }
    void verdict(const ResultRows::Verdict &row)
    {
        if (!row.pass && failVerdicts)
            ++*failVerdicts;
        logFailed = !ResultRows::appendVerdictRow(context, row) || logFailed;
    }
    bool modelHas(const QString &letters) const
    {
        const QString name = context.nameLabel();
        for (QChar letter : letters)
            if (name.contains(letter))
                return true;
        return false;
    }
    void skipStep() { context.endStep(1); }
};

void protectionTest(Pass &pass, const QString &function)
{
    RunContext &context = pass.context;
    if (context.state.StepPending != 0 || !pass.testEnded())
        return;
    const QString ng = pass.ask(QStringLiteral("NG?"));
    if (pass.aborted || ng == ErrRec)
        return;
    const double ngValue = NumberText::lenient(ng);
    if (ngValue != 0 && ngValue != 1)
        return;
    ResultRows::Verdict row;
    if (function == u"Short") {
        row.i = context.state.MeasuredCurrent;
        row.pass = true;
    } else {
        const bool ocp = function == u"OCP";
        context.load.clearReply();
        context.load.LinkSend(ocp ? QStringLiteral("OCP?") : QStringLiteral("OPP?"));
        pass.wait(100);
        if (pass.aborted)
            return;
        const QString value = context.load.LinkQuery();
        if (!context.stillRunning()) {
            pass.aborted = true;
            return;
        }
        // A trip value that is not a number (no reply at all included) cannot pass.
        const auto trip = NumberText::strict(value);
        const double low = NumberText::lenient(context.state.cell(StepColumns::LimitLow));
        const double high = NumberText::lenient(context.state.cell(StepColumns::LimitHigh));
        row.pass = trip && low <= *trip && *trip <= high;
        (ocp ? row.i : row.w) = value;
    }
    context.load.LinkSend(QStringLiteral("STOP"));
    if (!context.stillRunning()) {
        pass.aborted = true;
        return;
    }
    context.endStep(1);
    pass.verdict(row);
}

void batteryDischarge(Pass &pass, bool constantPower)
{
    RunContext &context = pass.context;
    if (!pass.modelHas(QStringLiteral("CG"))) {
        pass.skipStep();
        return;
    }
    if (!pass.testEnded())
        return;
    context.endStep(1);
    const QString reply = pass.ask(constantPower ? QStringLiteral("BATT:RWH?") : QStringLiteral("BATT:RAH?"));
    if (pass.aborted)
        return;
    ResultRows::Verdict row;
    (constantPower ? row.wh : row.ah) = reply;
    const auto drawn = NumberText::strict(reply);
    if (!drawn)
        context.trace.TraceLine(QStringLiteral("%1: not a number: %2").arg(context.state.CurrentFunction, reply));
    row.pass = drawn && *drawn < context.state.AhStop;
    pass.verdict(row);
}

// The voltage at the end of a RAMP or Cycle Life test. The load ends the test early when the
// battery sinks to its load-off voltage, so a battery that held out ends above it. A failure
// code before the number (three characters) makes the reply a failing one.
void batteryProfile(Pass &pass)
{
    RunContext &context = pass.context;
    if (!pass.modelHas(QStringLiteral("G"))) {
        pass.skipStep();
        return;
    }
    if (!pass.testEnded())
        return;
    context.endStep(1);
    const QString reply = pass.ask(QStringLiteral("BATT:RVOLT?"));
    if (pass.aborted)
        return;
    ResultRows::Verdict row;
    const auto loadOff = NumberText::strict(context.state.cell(StepColumns::LoadOffV));
    if (const auto volts = NumberText::strict(reply)) {
        row.v = reply;
        row.pass = loadOff && *volts > *loadOff;
    } else {
        static const QRegularExpression prefixed(QStringLiteral("^\\S{3}\\s*([-+]?[0-9.]+(?:[eE][-+]?[0-9]+)?)\\s*$"));
        const QRegularExpressionMatch match = prefixed.match(reply);
        row.v = match.hasMatch() ? reply.mid(3).trimmed() : reply;
        if (!match.hasMatch())
            context.trace.TraceLine(QStringLiteral("%1: not a voltage: %2").arg(context.state.CurrentFunction, reply));
        row.pass = false;
    }
    pass.verdict(row);
}

void sequenceLoad(Pass &pass)
{
    RunContext &context = pass.context;
    if (!pass.modelHas(QStringLiteral("CG"))) {
        pass.skipStep();
        return;
    }
    QString reply = pass.ask(QStringLiteral("TESTING?"));
    bool ended = false;
    for (int attempt = 1; !pass.aborted; ++attempt) {
        if (reply == ErrRec) {
            context.trace.TraceLine(reply);
            context.errorTrail.append(QStringLiteral("ErrT,"));
            return;
        }
        const double value = NumberText::lenient(reply);
        if (value == 0) {
            ended = true;
            break;
        }
        if (value != 2)
            return;
        if (attempt == 3) {
            context.setNameLabel(context.nameLabel() + u'-' + reply + QStringLiteral("-3"));
            return;
        }
        pass.wait(20);
        if (pass.aborted)
            return;
        reply = pass.ask(QStringLiteral("TESTING?"));
    }
    if (!ended || pass.aborted)
        return;
    context.load.LinkSend(QStringLiteral("SEQLD:TEST OFF"));
    pass.ask(QStringLiteral("MEAS:VC?"));
    if (pass.aborted)
        return;
    context.endStep(1);
}

} // namespace

Outcome supervise(RunContext &context, int *failVerdicts)
{
    // A step that a measured stop already ended in this pass gets no verdict.
    if (context.stepEndedThisPass)
        return Outcome::Done;
    Pass pass{context, failVerdicts};
    const QString &function = context.state.CurrentFunction;
    if (function == u"OCP" || function == u"OPP" || function == u"Short")
        protectionTest(pass, function);
    else if (function == u"Battery Discharge CC" || function == u"Battery Discharge CP")
        batteryDischarge(pass, function == u"Battery Discharge CP");
    else if (function == u"Battery RAMP" || function == u"Battery Cycle Life")
        batteryProfile(pass);
    else if (function == u"Sequence Load")
        sequenceLoad(pass);
    if (pass.aborted)
        return Outcome::Aborted;
    return pass.logFailed ? Outcome::LogFailed : Outcome::Done;
}

} // namespace LoadTestSupervisor
