#pragma once

#include "run/RunState.h"
#include "run/StepEnd.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <functional>
#include <optional>

class CancelToken;
class Clock;
class ErrorTrail;
class InstrumentLink;
class TraceList;

// One sample of voltage and current per pass, the power and the Ah/Wh totals derived from it,
// and the three measured stop conditions.
class Sampler
{
public:
    // A load that stops answering is the link's to recover or give up (see RecoveringLink): its
    // giving up cancels the run. A reply that is no reading (MeasureReply) is as good as none: the
    // pass has no sample, and the run state keeps its reading and totals.
    enum class Outcome { Sampled, Unusable, Cancelled };

    struct StopMet
    {
        StepEnd end = StepEnd::Voltage;
        RunState::Pending pending = RunState::Pending::Next;
    };

    Sampler(InstrumentLink &load, Clock &clock, TraceList &trace, ErrorTrail &errorTrail);

    // The load's rated current as identified, which bounds the currents it can read.
    void setRatedCurrent(std::function<QString()> ratedCurrent) { m_ratedCurrent = std::move(ratedCurrent); }

    // Asks the load, takes voltage and current into the run state and adds to the totals with
    // the nominal interval `measureTimeMs`.
    QCoro::Task<Outcome> take(RunState &state, double measureTimeMs, const CancelToken *cancel);

    // The first of voltage below VStop, current below IStop, capacity at or above AhStop that
    // meets; only the first end of a step counts. `capacityInWh` holds the capacity stop against
    // the Wh total.
    static std::optional<StopMet> firstStopMet(const RunState &state, bool capacityInWh);

private:
    QCoro::Task<Outcome> overLan(RunState &state, const CancelToken *cancel);
    QCoro::Task<Outcome> overSerial(RunState &state, const CancelToken *cancel);
    void traceRetry(const RunState &state);
    bool takeReading(RunState &state, const QString &reply) const;

    InstrumentLink &m_load;
    Clock &m_clock;
    TraceList &m_trace;
    ErrorTrail &m_errorTrail;
    std::function<QString()> m_ratedCurrent;
};
