#include "run/Sampler.h"

#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/InstrumentLink.h"
#include "link/TraceList.h"
#include "model/NumberText.h"
#include "run/ErrorTrail.h"
#include "run/MeasureReply.h"
#include "run/RunState.h"

namespace {

const QString MeasureQuery = QStringLiteral("MEAS:VC?");

bool cancelled(const CancelToken *cancel) { return cancel && cancel->isCancelled(); }

double integrate(double total, double measurementMs, double value)
{
    const double addend = NumberText::roundToEightDecimals(measurementMs / 1000.0 * value / 3600.0);
    return NumberText::roundToEightDecimals(total + addend);
}

} // namespace

Sampler::Sampler(InstrumentLink &load, Clock &clock, TraceList &trace, ErrorTrail &errorTrail)
    : m_load(load), m_clock(clock), m_trace(trace), m_errorTrail(errorTrail)
{ }

bool Sampler::takeReading(RunState &state, const QString &reply) const
{
    const std::optional<MeasureReply> reading = MeasureReply::read(
        reply, MeasureReply::Bounds::forRatedCurrent(m_ratedCurrent ? m_ratedCurrent() : QString()));
    if (!reading)
        return false;
    state.VoltageText = reading->voltage;
    state.CurrentText = reading->current;
    state.MeasuredVoltage = reading->volts;
    state.MeasuredCurrent = reading->amps;
    return true;
}

void Sampler::traceRetry(const RunState &state)
{
    m_trace.TraceLine(QStringLiteral("timer1(1)=>,%1,%2")
                          .arg(NumberText::shortest(m_clock.secondsSinceMidnight()), state.CurrentFunction));
}

// Over LAN a reply that is no reading is tried again twice, 20 ms apart.
QCoro::Task<Sampler::Outcome> Sampler::overLan(RunState &state, const CancelToken *cancel)
{
    const QString markers[] = {QStringLiteral("Err1,"), QStringLiteral("Err2")};
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString reply = co_await m_load.ask(MeasureQuery);
        if (cancelled(cancel))
            co_return Outcome::Cancelled;
        if (takeReading(state, reply))
            co_return Outcome::Sampled;
        m_load.replyUnusable();
        if (cancelled(cancel))
            co_return Outcome::Cancelled;
        if (attempt == 2)
            break;
        traceRetry(state);
        m_errorTrail.append(markers[attempt]);
        if (!co_await m_clock.waitMs(20, cancel))
            co_return Outcome::Cancelled;
    }
    co_return Outcome::Unusable;
}

QCoro::Task<Sampler::Outcome> Sampler::overSerial(RunState &state, const CancelToken *cancel)
{
    m_load.clearReply();
    co_await m_load.LinkSend(MeasureQuery);
    const QString reply = co_await m_load.LinkRead();
    if (cancelled(cancel))
        co_return Outcome::Cancelled;
    if (takeReading(state, reply))
        co_return Outcome::Sampled;
    m_load.replyUnusable();
    co_return cancelled(cancel) ? Outcome::Cancelled : Outcome::Unusable;
}

QCoro::Task<Sampler::Outcome> Sampler::take(RunState &state, double measureTimeMs, const CancelToken *cancel)
{
    Outcome outcome = Outcome::Sampled;
    if (m_load.connectMode() == 2)
        outcome = co_await overLan(state, cancel);
    else
        outcome = co_await overSerial(state, cancel);
    if (outcome != Outcome::Sampled)
        co_return outcome;
    // The power is what its shortest text (15 significant digits) says, in the log and in the Wh.
    state.MeasuredPower = NumberText::lenient(NumberText::shortest(state.MeasuredVoltage * state.MeasuredCurrent));
    // The nominal interval in force at Run is the integration step.
    state.AhTotal = integrate(state.AhTotal, measureTimeMs, state.MeasuredCurrent);
    state.WhTotal = integrate(state.WhTotal, measureTimeMs, state.MeasuredPower);
    co_return outcome;
}

std::optional<Sampler::StopMet> Sampler::firstStopMet(const RunState &state, bool capacityInWh)
{
    if (state.VStop > 0 && state.MeasuredVoltage < state.VStop)
        return StopMet{StepEnd::Voltage, RunState::Pending::Next};
    if (state.IStop > 0 && state.MeasuredCurrent < state.IStop)
        return StopMet{StepEnd::Current, RunState::Pending::Next};
    // The energy limit of a constant-power discharge is in Wh, so it is held against the Wh total.
    const double total = capacityInWh ? state.WhTotal : state.AhTotal;
    if (state.AhStop > 0 && total >= state.AhStop)
        return StopMet{StepEnd::Capacity, RunState::Pending::AfterCapacity};
    return std::nullopt;
}
