#pragma once

#include "device/ModelCapabilities.h"
#include "model/FunctionCatalog.h"
#include "run/Verdict.h"

#include <QCoro/QCoroTask>
#include <optional>

class CancelToken;
class Clock;
class ErrorTrail;
class InstrumentLink;
class TraceList;
struct RunState;

// While the load runs a test of its own (OCP, OPP, Short, the battery tests, Sequence Load), every
// pass asks whether it is still going; once it has ended, the result is fetched and judged. The
// run applies what comes back: the step's end, the verdict row, the mark on the model text.
class LoadTestSupervisor
{
public:
    struct Outcome
    {
        bool cancelled = false;
        // The test is over (or cannot run on this model): the next step is pending.
        bool ended = false;
        std::optional<Verdict> verdict;
        // Appended to the model text the window shows: a Sequence Load that kept answering 2.
        QString nameMark;
        // The function's own off line went out with the end of its test.
        bool switchedOff = false;
    };

    LoadTestSupervisor(InstrumentLink &load, Clock &clock, TraceList &trace, ErrorTrail &errorTrail);

    QCoro::Task<Outcome> supervise(const FunctionCatalog::Descriptor &function, const RunState &state,
        const ModelCapabilities &capabilities, const CancelToken *cancel);

private:
    struct Asked
    {
        bool cancelled = false;
        // None while the test goes on.
        std::optional<QString> reply;
    };
    QCoro::Task<Asked> askOnceEnded(const QString &query, const CancelToken *cancel);
    QCoro::Task<Outcome> protectionTest(
        FunctionCatalog::Index function, const RunState &state, const CancelToken *cancel);
    QCoro::Task<Outcome> batteryDischarge(bool constantPower, const RunState &state, const CancelToken *cancel);
    QCoro::Task<Outcome> batteryProfile(const RunState &state, const CancelToken *cancel);
    QCoro::Task<Outcome> sequenceLoad(const CancelToken *cancel);

    InstrumentLink &m_load;
    Clock &m_clock;
    TraceList &m_trace;
    ErrorTrail &m_errorTrail;
};
