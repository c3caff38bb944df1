#include "run/LoadTestSupervisor.h"

#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/InstrumentLink.h"
#include "link/TraceList.h"
#include "model/NumberText.h"
#include "model/StepColumns.h"
#include "run/ErrorTrail.h"
#include "run/LoadTestReplies.h"
#include "run/RunState.h"

namespace {

bool cancelled(const CancelToken *cancel) { return cancel && cancel->isCancelled(); }

LoadTestSupervisor::Outcome cancelledOutcome()
{
    LoadTestSupervisor::Outcome outcome;
    outcome.cancelled = true;
    return outcome;
}

LoadTestSupervisor::Outcome endedWith(const Verdict &verdict)
{
    LoadTestSupervisor::Outcome outcome;
    outcome.ended = true;
    outcome.verdict = verdict;
    return outcome;
}

} // namespace

LoadTestSupervisor::LoadTestSupervisor(InstrumentLink &load, Clock &clock, TraceList &trace, ErrorTrail &errorTrail)
    : m_load(load), m_clock(clock), m_trace(trace), m_errorTrail(errorTrail)
{ }

// "TESTING?", and once the load reports the end of its test, `query`. A garbled reply
// to "TESTING?" is no answer: the next pass asks again, and the test goes on, until the link
// counts such replies as silence. (A reply that does not come at all is the link's to wait out.)
QCoro::Task<LoadTestSupervisor::Asked> LoadTestSupervisor::askOnceEnded(const QString &query, const CancelToken *cancel)
{
    const QString testing = co_await m_load.ask(QStringLiteral("TESTING?"));
    if (cancelled(cancel))
        co_return Asked{true, std::nullopt};
    const std::optional<double> state = LoadTestReplies::testingState(testing);
    if (!state) {
        m_trace.TraceLine(testing);
        m_errorTrail.append(QStringLiteral("ErrT,"));
        m_load.replyUnusable();
        co_return Asked{cancelled(cancel), std::nullopt};
    }
    if (*state != 0)
        co_return Asked();
    const QString reply = co_await m_load.ask(query);
    co_return Asked{cancelled(cancel), reply};
}

QCoro::Task<LoadTestSupervisor::Outcome> LoadTestSupervisor::protectionTest(
    FunctionCatalog::Index function, const RunState &state, const CancelToken *cancel)
{
    const Asked asked = co_await askOnceEnded(QStringLiteral("NG?"), cancel);
    if (asked.cancelled)
        co_return cancelledOutcome();
    if (!asked.reply)
        co_return Outcome();
    // "NG?" only gates the verdict.
    if (!LoadTestReplies::verdictReady(*asked.reply))
        co_return Outcome();
    Verdict verdict;
    if (function == FunctionCatalog::Short) {
        verdict = {true, state.CurrentText, Verdict::Quantity::Amps};
    } else {
        const bool ocp = function == FunctionCatalog::Ocp;
        m_load.clearReply();
        const QString query = ocp ? QStringLiteral("OCP?") : QStringLiteral("OPP?");
        co_await m_load.LinkSend(query);
        if (!co_await m_clock.waitMs(100, cancel))
            co_return cancelledOutcome();
        const QString value = co_await m_load.LinkQuery();
        if (cancelled(cancel))
            co_return cancelledOutcome();
        const double low = NumberText::lenient(state.cell(StepColumns::LimitLow));
        const double high = NumberText::lenient(state.cell(StepColumns::LimitHigh));
        verdict = {LoadTestReplies::tripWithin(value, low, high), value,
            ocp ? Verdict::Quantity::Amps : Verdict::Quantity::Watts};
    }
    co_await m_load.LinkSend(QStringLiteral("STOP"));
    if (cancelled(cancel))
        co_return cancelledOutcome();
    co_return endedWith(verdict);
}

QCoro::Task<LoadTestSupervisor::Outcome> LoadTestSupervisor::batteryDischarge(
    bool constantPower, const RunState &state, const CancelToken *cancel)
{
    const QString query = constantPower ? QStringLiteral("BATT:RWH?") : QStringLiteral("BATT:RAH?");
    const Asked asked = co_await askOnceEnded(query, cancel);
    if (asked.cancelled)
        co_return cancelledOutcome();
    if (!asked.reply)
        co_return Outcome();
    const QString &reply = *asked.reply;
    const LoadTestReplies::Judged judged = LoadTestReplies::discharge(
        reply, state.AhStop, constantPower ? Verdict::Quantity::WattHours : Verdict::Quantity::AmpHours);
    if (!judged.readable)
        m_trace.TraceLine(QStringLiteral("%1: not a number: %2").arg(state.CurrentFunction, reply));
    co_return endedWith(judged.verdict);
}

// The voltage at the end of a RAMP or Cycle Life test. The load ends the test early when the
// battery sinks to its load-off voltage.
QCoro::Task<LoadTestSupervisor::Outcome> LoadTestSupervisor::batteryProfile(
    const RunState &state, const CancelToken *cancel)
{
    const Asked asked = co_await askOnceEnded(QStringLiteral("BATT:RVOLT?"), cancel);
    if (asked.cancelled)
        co_return cancelledOutcome();
    if (!asked.reply)
        co_return Outcome();
    const QString &reply = *asked.reply;
    const LoadTestReplies::Judged judged
        = LoadTestReplies::profile(reply, NumberText::strict(state.cell(StepColumns::LoadOffV)));
    if (!judged.readable)
        m_trace.TraceLine(QStringLiteral("%1: not a voltage: %2").arg(state.CurrentFunction, reply));
    co_return endedWith(judged.verdict);
}

QCoro::Task<LoadTestSupervisor::Outcome> LoadTestSupervisor::sequenceLoad(const CancelToken *cancel)
{
    QString reply = co_await m_load.ask(QStringLiteral("TESTING?"));
    for (int attempt = 1;; ++attempt) {
        if (cancelled(cancel))
            co_return cancelledOutcome();
        const std::optional<double> value = LoadTestReplies::testingState(reply);
        if (!value) {
            m_trace.TraceLine(reply);
            m_errorTrail.append(QStringLiteral("ErrT,"));
            m_load.replyUnusable();
            co_return cancelled(cancel) ? cancelledOutcome() : Outcome();
        }
        if (*value == 0)
            break;
        if (*value != 2)
            co_return Outcome();
        if (attempt == 3) {
            Outcome outcome;
            outcome.nameMark = u'-' + reply + QStringLiteral("-3");
            co_return outcome;
        }
        if (!co_await m_clock.waitMs(20, cancel))
            co_return cancelledOutcome();
        reply = co_await m_load.ask(QStringLiteral("TESTING?"));
    }
    co_await m_load.LinkSend(QStringLiteral("SEQLD:TEST OFF"));
    co_await m_load.ask(QStringLiteral("MEAS:VC?"));
    if (cancelled(cancel))
        co_return cancelledOutcome();
    Outcome outcome;
    outcome.ended = true;
    outcome.switchedOff = true;
    co_return outcome;
}

QCoro::Task<LoadTestSupervisor::Outcome> LoadTestSupervisor::supervise(const FunctionCatalog::Descriptor &function,
    const RunState &state, const ModelCapabilities &capabilities, const CancelToken *cancel)
{
    using Test = FunctionCatalog::LoadRunTest;
    // A battery test on a model that does not offer it is passed over.
    const bool profile = function.loadRun == Test::BatteryProfile;
    if (function.loadRun != Test::None && function.loadRun != Test::Protection
        && !(profile ? capabilities.batteryProfiles() : capabilities.batteryTests())) {
        Outcome outcome;
        outcome.ended = true;
        co_return outcome;
    }
    switch (function.loadRun) {
    case Test::Protection:
        co_return co_await protectionTest(function.index, state, cancel);
    case Test::BatteryDischarge:
        co_return co_await batteryDischarge(function.capacityInWh, state, cancel);
    case Test::BatteryProfile:
        co_return co_await batteryProfile(state, cancel);
    case Test::SequenceLoad:
        co_return co_await sequenceLoad(cancel);
    case Test::None:
        break;
    }
    co_return Outcome();
}
