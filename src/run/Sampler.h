#pragma once

#include "run/RunState.h"
#include "run/StepEnd.h"

#include <QCoro/QCoroTask>
#include <QString>
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
    // giving up cancels the run.
    enum class Outcome { Sampled, Cancelled };

    struct StopMet
    {
        StepEnd end = StepEnd::Voltage;
        RunState::Pending pending = RunState::Pending::Next;
    };

    Sampler(InstrumentLink &load, Clock &clock, TraceList &trace, ErrorTrail &errorTrail);

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

    InstrumentLink &m_load;
    Clock &m_clock;
    TraceList &m_trace;
    ErrorTrail &m_errorTrail;
};
