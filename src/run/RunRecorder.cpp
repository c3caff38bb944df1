#include "run/RunRecorder.h"

#include "link/Clock.h"

RunRecorder::RunRecorder(RunEvents &events, Clock &clock, std::function<QString()> model, QObject *parent)
    : QObject(parent), m_clock(clock), m_model(std::move(model))
{
    connect(&events, &RunEvents::runStarted, this, &RunRecorder::onRunStarted);
    connect(&events, &RunEvents::stepStarted, this, &RunRecorder::onStepStarted);
    connect(&events, &RunEvents::sample, this, &RunRecorder::onSample);
    connect(&events, &RunEvents::rowMade, this, &RunRecorder::onRowMade);
    connect(&events, &RunEvents::stepEnded, this, &RunRecorder::onStepEnded);
    connect(&events, &RunEvents::verdict, this, &RunRecorder::onVerdict);
    connect(&events, &RunEvents::stepTimeLeftChanged, this, &RunRecorder::onStepTimeLeft);
    connect(&events, &RunEvents::loadOffChanged, this, &RunRecorder::onLoadOff);
    connect(&events, &RunEvents::runEnded, this, &RunRecorder::onRunEnded);
    connect(&events, &RunEvents::loadSilent, this, &RunRecorder::onLoadSilent);
    connect(&events, &RunEvents::replyGap, this, &RunRecorder::onAnswersAgain);
}

void RunRecorder::onRunStarted(const RunOptions &options)
{
    m_record = RunRecord();
    m_record.started = true;
    m_record.options = options;
    m_record.startedAt = m_clock.now();
    m_startTick = m_clock.tickMs();
    m_endTick = -1;
    m_closedAmpHours = m_closedWattHours = 0;
    Q_EMIT runStarted();
    Q_EMIT changed();
}

void RunRecorder::onStepStarted(int row, const QString &function)
{
    dropJumpStep();
    StepRecord step;
    step.row = row;
    step.function = function;
    step.started = m_clock.now();
    m_record.steps.append(step);
    m_record.open = int(m_record.steps.size()) - 1;
    m_record.stepTimeLeft.reset();
    m_openTick = m_clock.tickMs();
    Q_EMIT stepStarted(m_record.steps.at(m_record.open));
    Q_EMIT changed();
}

void RunRecorder::onSample(const Sample &sample)
{
    m_record.silentSince.reset();
    m_record.last = sample;
    m_record.samples += 1;
    RunTotals &totals = m_record.totals;
    totals.seconds = sample.elapsedSeconds;
    if (m_record.open >= 0) {
        StepRecord &step = m_record.steps[m_record.open];
        step.ampHours = sample.ampHours;
        step.wattHours = sample.wattHours;
        step.volts = sample.volts;
        step.amps = sample.amps;
        step.seconds = secondsSince(m_openTick);
        step.sampled = true;
        totals.ampHours = m_closedAmpHours + step.ampHours;
        totals.wattHours = m_closedWattHours + step.wattHours;
    }
    Q_EMIT sampleAdded(sample);
    Q_EMIT changed();
}

void RunRecorder::onRowMade(const LogRow &row)
{
    m_record.rows += 1;
    Q_EMIT rowAdded(row);
}

void RunRecorder::onStepEnded(int row, StepEnd end)
{
    if (m_record.open < 0 || m_record.steps.at(m_record.open).row != row)
        return;
    const int index = m_record.open;
    close(end);
    Q_EMIT stepEnded(m_record.steps.at(index));
    Q_EMIT changed();
}

void RunRecorder::onVerdict(int row, const Verdict &verdict)
{
    if (!verdict.pass)
        m_record.failVerdicts += 1;
    // The load's own test ends its step before its verdict comes.
    for (qsizetype i = m_record.steps.size() - 1; i >= 0; --i) {
        StepRecord &step = m_record.steps[i];
        if (step.row != row)
            continue;
        step.verdict = verdict;
        Q_EMIT verdictAdded(step);
        Q_EMIT changed();
        return;
    }
}

void RunRecorder::onStepTimeLeft(Fixed4 timeLeft)
{
    m_record.stepTimeLeft = timeLeft;
    Q_EMIT stepTimeLeftChanged();
    Q_EMIT changed();
}

void RunRecorder::onLoadSilent()
{
    if (m_record.silentSince || m_record.isFinished())
        return;
    m_record.silentSince = elapsedSeconds();
    Q_EMIT changed();
}

void RunRecorder::onAnswersAgain()
{
    if (!std::exchange(m_record.silentSince, std::nullopt))
        return;
    Q_EMIT changed();
}

void RunRecorder::onLoadOff(const LoadOff &off)
{
    m_record.loadOff = off;
    // Before the run's end it is part of that end; runEnded carries it.
    if (!m_record.isFinished())
        return;
    Q_EMIT loadOffChanged(m_record);
    Q_EMIT changed();
}

void RunRecorder::onRunEnded(RunResult result, const QString &message)
{
    // The sequencer has ended a step that was running; one still open only jumped.
    dropJumpStep();
    m_record.result = result;
    m_record.message = message;
    m_record.model = m_model ? m_model() : QString();
    m_record.endedAt = m_clock.now();
    m_endTick = m_clock.tickMs();
    m_record.totals.seconds = secondsSince(m_startTick);
    m_record.stepTimeLeft.reset();
    Q_EMIT runEnded(m_record);
    Q_EMIT changed();
}

void RunRecorder::close(StepEnd end)
{
    StepRecord &step = m_record.steps[m_record.open];
    step.end = end;
    step.ended = m_clock.now();
    step.seconds = secondsSince(m_openTick);
    m_closedAmpHours += step.ampHours;
    m_closedWattHours += step.wattHours;
    m_record.open = -1;
    m_record.stepTimeLeft.reset();
}

void RunRecorder::dropJumpStep()
{
    // A step still open when the next one starts or the run finishes was one that only jumps
    // (FOR, LOOP): it never runs the load, never ends, and would only repeat in the table.
    if (m_record.open < 0)
        return;
    if (!m_record.steps.at(m_record.open).sampled)
        m_record.steps.removeAt(m_record.open);
    else
        close(StepEnd::None);
    m_record.open = -1;
}

double RunRecorder::secondsSince(qint64 tick) const { return double(m_clock.tickMs() - tick) / 1000.0; }

double RunRecorder::elapsedSeconds() const
{
    if (!m_record.started)
        return 0;
    return double((m_endTick >= 0 ? m_endTick : m_clock.tickMs()) - m_startTick) / 1000.0;
}
