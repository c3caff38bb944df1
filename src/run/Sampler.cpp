#include "run/Sampler.h"

#include "link/Clock.h"
#include "link/InstrumentLink.h"
#include "link/TraceList.h"
#include "model/NumberText.h"
#include "run/ErrorTrail.h"
#include "run/ResultRows.h"
#include "run/RunContext.h"
#include "run/RunState.h"

namespace Sampler {

namespace {

const QString MeasureQuery = QStringLiteral("MEAS:VC?");

// Takes voltage and current from a reply with at least two fields.
bool takeReading(RunState &state, const QString &reply)
{
    const QStringList fields = reply.split(u',');
    if (fields.size() < 2)
        return false;
    state.MeasuredVoltage = fields.at(0);
    state.MeasuredCurrent = fields.at(1);
    return true;
}

void traceRetry(RunContext &context)
{
    context.trace.TraceLine(
        QStringLiteral("timer1(1)=>,%1,%2")
            .arg(NumberText::shortest(context.clock.secondsSinceMidnight()), context.state.CurrentFunction));
}

// Over LAN every attempt waits at most the link's reply time-out; a reply without a comma is
// tried again twice, 20 ms apart, and then counts as 0 V and 0 A.
Outcome sampleOverLan(RunContext &context)
{
    const QString markers[] = {QStringLiteral("Err1,"), QStringLiteral("Err2")};
    bool anyReply = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString reply = context.load.ask(MeasureQuery);
        if (!context.stillRunning())
            return Outcome::Aborted;
        anyReply = anyReply || reply != ErrRec;
        if (takeReading(context.state, reply))
            return Outcome::Sampled;
        if (attempt == 2)
            break;
        traceRetry(context);
        context.errorTrail.append(markers[attempt]);
        context.clock.waitMs(20);
        if (!context.stillRunning())
            return Outcome::Aborted;
    }
    context.state.MeasuredVoltage = QStringLiteral("0");
    context.state.MeasuredCurrent = QStringLiteral("0");
    return anyReply ? Outcome::Sampled : Outcome::LoadSilent;
}

QString readReply(RunContext &context)
{
    context.load.LinkSend(MeasureQuery);
    const QString reply = context.load.LinkRead();
    return reply.isEmpty() ? ErrRec : reply;
}

// Over serial and GPIB a missing reply is tried once more; a reply without a comma leaves the
// previous reading in place.
Outcome sampleOverSerial(RunContext &context)
{
    context.load.clearReply();
    const QString reply = readReply(context);
    if (!context.stillRunning())
        return Outcome::Aborted;
    takeReading(context.state, reply);
    if (reply.split(u',').first() != ErrRec)
        return Outcome::Sampled;
    context.errorTrail.append(QStringLiteral("Err3"));
    const QString again = readReply(context);
    if (!context.stillRunning())
        return Outcome::Aborted;
    takeReading(context.state, again);
    return again.split(u',').first() == ErrRec ? Outcome::LoadSilent : Outcome::Sampled;
}

double integrate(double total, double measurementMs, double value)
{
    const double addend = NumberText::roundToEightDecimals(measurementMs / 1000.0 * value / 3600.0);
    return NumberText::roundToEightDecimals(total + addend);
}

} // namespace

Outcome takeSample(RunContext &context)
{
    const Outcome outcome = context.load.connectMode() == 2 ? sampleOverLan(context) : sampleOverSerial(context);
    if (outcome == Outcome::Aborted)
        return outcome;
    RunState &state = context.state;
    const double voltage = NumberText::lenient(state.MeasuredVoltage);
    const double current = NumberText::lenient(state.MeasuredCurrent);
    state.MeasuredPower = NumberText::shortest(voltage * current);
    // The nominal interval in force at Run is the integration step.
    const double interval = context.options.measureTime.toDouble();
    state.AhTotal = integrate(state.AhTotal, interval, current);
    state.WhTotal = integrate(state.WhTotal, interval, NumberText::lenient(state.MeasuredPower));
    return outcome;
}

bool applyStops(RunContext &context)
{
    RunState &state = context.state;
    bool logged = true;
    auto end = [&](qint16 pending) {
        if (context.endStep(pending))
            logged = ResultRows::AppendResultRow(context) && logged;
    };
    if (state.VStop > 0 && NumberText::lenient(state.MeasuredVoltage) < state.VStop)
        end(1);
    if (state.IStop > 0 && NumberText::lenient(state.MeasuredCurrent) < state.IStop)
        end(1);
    // The energy limit of a constant-power discharge is in Wh, so it is held against the Wh total.
    const double total = state.CurrentFunction == u"Battery Discharge CP" ? state.WhTotal : state.AhTotal;
    if (state.AhStop > 0 && total >= state.AhStop)
        end(2);
    return logged;
}

} // namespace Sampler
