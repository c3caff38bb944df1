#include "run/Sequencer.h"

#include "device/Identification.h"
#include "link/Clock.h"
#include "link/InstrumentLink.h"
#include "link/TraceList.h"
#include "model/NumberText.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"
#include "run/ErrorTrail.h"
#include "run/PlanSender.h"
#include "run/StepStarter.h"
#include "settings/MeasureOptions.h"

#include <QStringBuilder>

using Result = RunResult;

Sequencer::Sequencer(
    const Parts &parts, RunEvents &events, const RunOptions &options, int firstIntervalMs, QObject *parent)
    : QObject(parent),
      m_parts(parts),
      m_events(events),
      m_options(options),
      m_load(parts.load, parts.clock, parts.trace),
      m_loadCommands(m_state.step),
      m_generatorCommands(m_state.step),
      m_sampler(m_load, parts.clock, parts.trace, parts.errorTrail),
      m_supervisor(m_load, parts.clock, parts.trace, parts.errorTrail),
      m_intervalMs(firstIntervalMs)
{
    m_load.onLost([this] {
        stop(Result::Lost,
            QStringLiteral("The run was stopped: the load stopped answering (step %1, %2).")
                .arg(m_state.StepPointer)
                .arg(m_state.CurrentFunction));
    });
    // A missed reply over serial or GPIB keeps its mark in the error trail.
    m_load.onSilent([this] {
        if (m_load.connectMode() != 2)
            m_parts.errorTrail.append(QStringLiteral("Err3"));
        Q_EMIT m_events.loadSilent(m_state.StepPointer);
    });
    m_load.onForeign([this](const QString &model) {
        stop(Result::Error,
            QStringLiteral("The run was stopped: another instrument answers at %1. It names itself \"%2\"; the "
                           "run's load was \"%3\". Nothing more was sent to it.")
                .arg(m_load.address(), model, m_parts.identification.ModelName()));
    });
    m_load.onAnswersAgain([this](qint64 fromTick, qint64 toTick) {
        Q_EMIT m_events.replyGap(m_state.StepPointer, elapsedSeconds(fromTick), elapsedSeconds(toTick));
    });
    m_load.onTestRestarted([this] {
        Q_EMIT m_events.loadTestRestarted(
            m_state.StepPointer, m_state.CurrentFunction, elapsedSeconds(m_parts.clock.tickMs()));
    });
    const auto ratedCurrent = [this] { return m_parts.identification.RatedCurrent(); };
    m_loadCommands.setRatedCurrent(ratedCurrent);
    m_sampler.setRatedCurrent(ratedCurrent);
    m_generatorCommands.setRatedCurrent(ratedCurrent);
    m_state.StepPointer = 1;
    m_state.StepPending = RunState::Pending::Next;
    m_state.RowCounter = 1;
}

TraceFields Sequencer::traceFields() const
{
    return {m_state.StepPointer, m_state.TStop.toText(), m_state.CurrentFunction};
}

void Sequencer::stop(Result result, const QString &message)
{
    if (cancelled())
        return;
    m_result = result;
    m_message = message;
    m_cancel.cancel();
}

QCoro::Task<> Sequencer::run()
{
    m_load.setCancelToken(&m_cancel);
    if (m_parts.generator)
        m_parts.generator->setCancelToken(&m_cancel);
    m_startTick = m_parts.clock.tickMs();
    // Identification first: it reconnects the links and tells the model the steps run on.
    if (co_await m_parts.clock.waitMs(IdentificationDelayMs, &m_cancel))
        co_await m_parts.identification.identify(&m_cancel);
    if (!cancelled()) {
        if (m_parts.identification.loadAnswered()) {
            m_load.setExpectedModel(m_parts.identification.ModelName());
        } else {
            // Nothing was ever switched on: there is nothing to switch off, and nobody to tell.
            m_unreached = true;
            stop(Result::Error, QStringLiteral("No load answers at %1").arg(m_load.address()));
        }
    }
    // The program is weighed again against the load that answered, before anything is sent to it.
    if (!cancelled() && m_loadCheck) {
        if (const QString refusal = m_loadCheck(); !refusal.isEmpty()) {
            m_unreached = true;
            stop(Result::Error, refusal);
        }
    }
    // Each interval ends at the tick it was counted to, not that many milliseconds after the
    // pass got round to waiting for it.
    qint64 dueTick = m_parts.clock.tickMs() + m_intervalMs;
    while (!cancelled()) {
        if (!co_await m_parts.clock.sleepUntil(dueTick, &m_cancel))
            break;
        const std::optional<qint64> next = co_await pass();
        if (!next)
            break;
        dueTick = *next;
    }
    if (m_runningStep > 0 && cancelled())
        Q_EMIT m_events.stepEnded(std::exchange(m_runningStep, 0), stepEndFor(m_result).value_or(StepEnd::Error));
    co_await switchOff();
    Q_EMIT m_events.runEnded(m_result, m_message);
}

QCoro::Task<> Sequencer::switchOff()
{
    // However the run ended, these go out: the waits that the cancel token ended must not end them.
    m_load.setCancelToken(nullptr);
    if (m_parts.generator)
        m_parts.generator->setCancelToken(nullptr);
    if (m_unreached)
        co_return;
    // Another instrument at the load's address is sent nothing at all; the load itself is
    // somewhere else, perhaps still on.
    if (m_load.refused()) {
        noteLoadOff(OffConfirmer::Outcome{OffConfirmer::Outcome::Kind::Foreign, 0, {}});
    } else {
        // A load that stopped answering, or whose connection is gone, may take a new connection at
        // once: the off lines go over a fresh one. So do they after a Stop that cut a question
        // short, so that its late reply can never be read as the answer to a later question.
        // Failures here are the lost load's, already said.
        const bool lost = m_result == Result::Lost;
        m_parts.load.holdMessages(lost);
        if (lost || !m_parts.load.isConnected() || m_load.replyCut())
            co_await m_load.reopenForOffLines();
        OffConfirmer confirmer(m_parts.load, m_parts.clock, m_parts.trace);
        confirmer.setOffLines(offLines());
        confirmer.setRatedCurrent(m_parts.identification.RatedCurrent());
        OffConfirmer::Outcome outcome = co_await confirmer.sendAndConfirm();
        // A connection that went with the off lines may have taken them unread: they go once more
        // over a fresh one, at once; after that the run's end says the load may still be on.
        if (outcome.kind == OffConfirmer::Outcome::Kind::Unanswered) {
            confirmer.setExpectedModel(m_parts.identification.ModelName());
            outcome = co_await confirmer.reopenAndConfirm(RecoveringLink::FinalReopenLimitMs);
        }
        m_parts.load.holdMessages(false);
        noteLoadOff(outcome);
    }
    if (m_options.afgEnabled && m_parts.generator) {
        const CommandPlan outputOff = m_generatorCommands.GenCmdOutputOff();
        co_await PlanSender::send(outputOff, *m_parts.generator, m_parts.clock, nullptr);
    }
}

QStringList Sequencer::offLines() const
{
    QStringList lines;
    if (!m_offLine.isEmpty())
        lines.append(m_offLine);
    lines.append(QStringLiteral("LOAD OFF"));
    return lines;
}

void Sequencer::noteLoadOff(const OffConfirmer::Outcome &outcome)
{
    using Kind = OffConfirmer::Outcome::Kind;
    LoadOff off;
    off.address = m_load.address();
    if (outcome.kind == Kind::Confirmed) {
        off.state = LoadOff::State::Confirmed;
        off.confirmedAt = m_parts.clock.now();
        off.amps = outcome.amps;
    } else {
        off.state = LoadOff::State::Unconfirmed;
        off.since = m_parts.clock.now();
        m_parts.trace.TraceLine(
            QStringLiteral("The load at %1 may still be on: its off lines are not confirmed").arg(off.address));
        if (outcome.kind != Kind::StillOn) {
            const QString mayBeOn
                = QStringLiteral("The load at %1 may still be on: it could not be told to switch off. Trying again…")
                      .arg(off.address);
            m_message = m_message.isEmpty() ? mayBeOn : m_message + u' ' + mayBeOn;
        }
    }
    // A load that sinks current after it was told twice is a fault of the bench, whatever the
    // run's own end: the run says so.
    if (outcome.kind == Kind::StillOn) {
        m_result = Result::Error;
        m_message = QStringLiteral("The load at %1 still reads %2 A after it was told twice to switch off: it is "
                                   "told again until it reads none. Switch it off by hand.")
                        .arg(off.address, NumberText::shortest(outcome.amps));
    }
    Q_EMIT m_events.loadOffChanged(off);
}

QCoro::Task<std::optional<qint64>> Sequencer::pass()
{
    RunState &state = m_state;
    bool startedThisPass = false;
    for (;;) {
        if (state.StepPointer > m_parts.program.gridRowCount() - 2) {
            // Finish.
            m_result = m_failVerdicts > 0 ? Result::Fail : Result::Pass;
            co_return std::nullopt;
        }
        if (state.isPending()) {
            const StepStart start = co_await startPendingStep();
            if (start == StepStart::Ended)
                co_return std::nullopt;
            if (start == StepStart::Jumped)
                continue;
            startedThisPass = true;
        }
        const qint64 sampleTick = m_parts.clock.tickMs();
        const double sampleSeconds = m_parts.clock.secondsSinceMidnight();
        m_parts.trace.TraceLine(u"timer1=>," % NumberText::shortest(sampleSeconds) % u',' % state.CurrentFunction);
        const Sampler::Outcome sampled = co_await m_sampler.take(state, m_options.measureTime.toDouble(), &m_cancel);
        if (sampled == Sampler::Outcome::Cancelled)
            co_return std::nullopt;
        // A reply that is no reading is as good as none, as in a silence: no sample, no stop, no
        // row, and the step's time stands still until the load reads again.
        if (sampled == Sampler::Outcome::Unusable)
            co_return nextInterval(startedThisPass, sampleTick, sampleSeconds, false);
        // Each reading is a sample of the run's record only with a row of its log: the pass that
        // finds the step's time over makes neither.
        const Sample reading = sampleNow();
        const FunctionCatalog::Descriptor *function = m_function;
        if (const auto met = Sampler::firstStopMet(state, function && function->capacityInWh)) {
            if (!m_stepEndedThisPass) {
                Q_EMIT m_events.sample(reading);
                endStep(met->pending, met->end);
                if (!appendRow(sampleRow(reading)))
                    co_return std::nullopt;
            }
        }
        if (state.TStop.count() <= 0 && !m_stepEndedThisPass && !(function && function->exemptFromTimeExpiry)) {
            if (!co_await timeExpiry())
                co_return std::nullopt;
            startedThisPass = false;
            continue;
        }
        if (state.TStop.count() < 0)
            state.TStop = Fixed4();
        // Ahead of the load's own test, which may end the step: the reading is still the step's.
        Q_EMIT m_events.sample(reading);
        if (function && !m_stepEndedThisPass) {
            if (!co_await supervise(*function))
                co_return std::nullopt;
        }
        if (!appendRow(sampleRow(reading)))
            co_return std::nullopt;
        co_return nextInterval(startedThisPass, sampleTick, sampleSeconds);
    }
}

QCoro::Task<Sequencer::StepStart> Sequencer::startPendingStep()
{
    RunState &state = m_state;
    m_stepEndedThisPass = false;
    const int row = state.StepPointer;
    const StepStarter::Start start = StepStarter::prepare(state, m_parts.program,
        {m_parts.identification.capabilities(), m_options.afgEnabled && m_parts.generator}, m_loadCommands,
        m_generatorCommands);
    m_function = FunctionCatalog::find(state.CurrentFunction);
    Q_EMIT m_events.stepStarted(row, state.CurrentFunction);
    switch (start.kind) {
    case StepStarter::Start::Kind::Failed:
        // The step that could not start is the one the run ended on.
        m_runningStep = row;
        stop(Result::Error, QStringLiteral("The run was stopped: %1").arg(start.error));
        co_return StepStart::Ended;
    case StepStarter::Start::Kind::Jump:
        // A body with no sample in it would otherwise loop without serving a single event.
        if (start.loopedBack) {
            if (!co_await m_parts.clock.yield(&m_cancel))
                co_return StepStart::Ended;
        }
        co_return StepStart::Jumped;
    case StepStarter::Start::Kind::Run:
        break;
    }
    m_runningStep = row;
    const FunctionCatalog::Descriptor *function = m_function;
    if (function && !function->offLine.isEmpty() && !start.load.empty())
        m_offLine = function->offLine;
    if (!start.load.empty()) {
        QList<CommandPlan::Item> setUp;
        for (const CommandPlan &plan : start.load)
            setUp += plan.items();
        const bool loadRuns = function && function->loadRun != FunctionCatalog::LoadRunTest::None;
        m_load.ledger().beginSetUp(setUp, loadRuns ? LoadLedger::Restate::UntilDelivered : LoadLedger::Restate::Always);
    }
    bool setUpSent = true;
    for (const CommandPlan &plan : start.load) {
        setUpSent = co_await PlanSender::send(plan, m_load, m_parts.clock, &m_cancel);
        if (!setUpSent)
            break;
    }
    m_load.ledger().endSetUp();
    if (!setUpSent)
        co_return StepStart::Ended;
    if (start.generator) {
        if (!co_await PlanSender::send(*start.generator, *m_parts.generator, m_parts.clock, &m_cancel))
            co_return StepStart::Ended;
    }
    if (function && !start.load.empty())
        StepStarter::afterCommands(state, *function);

    state.StepStart = wholeSecond(m_parts.clock.now());
    if (state.StableTime > 0) {
        if (!co_await m_parts.clock.waitMs(state.StableTime, &m_cancel))
            co_return StepStart::Ended;
        state.StepStart = wholeSecond(m_parts.clock.now());
    }
    co_return StepStart::Started;
}

QCoro::Task<bool> Sequencer::timeExpiry()
{
    RunState &state = m_state;
    const int next = state.StepPointer + 1;
    const bool sameFunctionNext = next <= m_parts.program.StepCount()
        && m_parts.program.cell(next, StepColumns::Function) == state.CurrentFunction;
    if (!sameFunctionNext) {
        const CommandPlan loadOff = m_loadCommands.CmdLoadOff();
        if (!co_await PlanSender::send(loadOff, m_load, m_parts.clock, &m_cancel))
            co_return false;
        if (m_options.afgEnabled && m_parts.generator) {
            const CommandPlan outputOff = m_generatorCommands.GenCmdOutputOff();
            if (!co_await PlanSender::send(outputOff, *m_parts.generator, m_parts.clock, &m_cancel))
                co_return false;
        }
    }
    Q_EMIT m_events.stepEnded(std::exchange(m_runningStep, 0), StepEnd::Time);
    if (!(state.VStop > 0 && state.IStop > 0 && state.AhStop > 0))
        state.StepPointer += 1;
    state.StepPending = RunState::Pending::AfterTime;
    co_return true;
}

QCoro::Task<bool> Sequencer::supervise(const FunctionCatalog::Descriptor &function)
{
    if (function.loadRun == FunctionCatalog::LoadRunTest::None)
        co_return true;
    const int row = m_runningStep;
    const LoadTestSupervisor::Outcome outcome
        = co_await m_supervisor.supervise(function, m_state, m_parts.identification.capabilities(), &m_cancel);
    if (outcome.cancelled)
        co_return false;
    if (!outcome.nameMark.isEmpty())
        m_parts.identification.setNameLabel(m_parts.identification.NameLabel() + outcome.nameMark);
    if (outcome.switchedOff)
        m_offLine.clear();
    if (!outcome.ended)
        co_return true;
    endStep(RunState::Pending::Next, StepEnd::Load);
    if (!outcome.verdict)
        co_return true;
    if (!outcome.verdict->pass)
        ++m_failVerdicts;
    Q_EMIT m_events.verdict(row, *outcome.verdict);
    LogRow verdictRow;
    verdictRow.verdict = outcome.verdict;
    co_return appendRow(std::move(verdictRow));
}

bool Sequencer::endStep(RunState::Pending pending, StepEnd end)
{
    if (m_stepEndedThisPass)
        return false;
    m_stepEndedThisPass = true;
    m_state.StepPointer += 1;
    m_state.StepPending = pending;
    Q_EMIT m_events.stepEnded(std::exchange(m_runningStep, 0), end);
    return true;
}

LogRow Sequencer::sampleRow(const Sample &reading) const
{
    LogRow row;
    row.sample = reading;
    row.voltsText = m_state.VoltageText;
    row.ampsText = m_state.CurrentText;
    return row;
}

bool Sequencer::appendRow(LogRow row)
{
    if (cancelled())
        return false;
    row.number = m_state.RowCounter;
    row.made = m_parts.clock.now();
    row.stepStarted = m_state.StepStart;
    row.function = m_state.CurrentFunction;
    m_state.RowCounter += 1;
    Q_EMIT m_events.rowMade(row);
    return !cancelled();
}

QDateTime Sequencer::wholeSecond(const QDateTime &when)
{
    return when.isValid() ? when.addMSecs(-when.time().msec()) : when;
}

double Sequencer::elapsedSeconds(qint64 tick) const { return double(tick - m_startTick) / 1000.0; }

Sample Sequencer::sampleNow() const
{
    Sample sample;
    sample.elapsedSeconds = elapsedSeconds(m_parts.clock.tickMs());
    sample.volts = m_state.MeasuredVoltage;
    sample.amps = m_state.MeasuredCurrent;
    sample.watts = m_state.MeasuredPower;
    sample.ampHours = m_state.AhTotal;
    sample.wattHours = m_state.WhTotal;
    sample.step = m_state.StepPointer;
    return sample;
}

qint64 Sequencer::nextInterval(bool stepStartedThisPass, qint64 sampleTick, double sampleSeconds, bool countDown)
{
    RunState &state = m_state;
    const double samplingMs = NumberText::lenient(m_parts.measureOptions.measTimeText());
    if (stepStartedThisPass)
        m_timing.restartPlan(sampleTick);
    const FunctionCatalog::Descriptor *function = m_function;
    PassTiming::Input in;
    in.tickNow = m_parts.clock.tickMs();
    in.secondsAtSample = sampleSeconds;
    in.secondsNow = m_parts.clock.secondsSinceMidnight();
    in.samplingMs = samplingMs;
    in.stepTimeLeft = state.TStop;
    // The battery profiles end when the load says so; their step time is no deadline.
    in.shortStepTimeRule = !(function && function->loadRun == FunctionCatalog::LoadRunTest::BatteryProfile);
    const PassTiming::Output out = m_timing.next(in);
    if (out.countDown && countDown) {
        state.TStop = state.TStop - Fixed4::fromDoubleOrZero(samplingMs / 1000.0);
        Q_EMIT m_events.stepTimeLeftChanged(state.TStop);
    }
    m_intervalMs = out.intervalMs;
    m_parts.trace.TraceLine(u"Interval=" % QString::number(out.intervalMs));
    return in.tickNow + out.intervalMs;
}
