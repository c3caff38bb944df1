#include "store/StationStateFeed.h"

#include "model/TestProgram.h"
#include "run/ProgramTimes.h"
#include "run/RunRecorder.h"
#include "store/RunForwarder.h"
#include "store/RunStore.h"

StationStateFeed::StationStateFeed(const RunRecorder &recorder, const TestProgram &program, const RunStore &store,
    RunForwarder &forwarder, QObject *parent)
    : QObject(parent),
      m_recorder(recorder),
      m_program(program),
      m_store(store),
      m_forwarder(forwarder),
      m_holder(forwarder.stationState())
{
    connect(&recorder, &RunRecorder::runStarted, this, &StationStateFeed::onRunStarted);
    connect(&recorder, &RunRecorder::stepStarted, this,
        [this](const StepRecord &step) { onStepStarted(step.row, step.function); });
    connect(&recorder, &RunRecorder::sampleAdded, this, &StationStateFeed::onSample);
    connect(&recorder, &RunRecorder::stepTimeLeftChanged, this, &StationStateFeed::onStepTimeLeft);
    connect(&recorder, &RunRecorder::runEnded, this, &StationStateFeed::onRunEnded);
    connect(&recorder, &RunRecorder::loadOffChanged, this, &StationStateFeed::onLoadOffChanged);
}

void StationStateFeed::onRunStarted()
{
    // The store names the run as it hears of its start, ahead of this.
    m_holder.runStarted(m_store.runUuid(), m_recorder.record().options.programFile, m_program.StepCount());
    m_forwarder.sendStateSoon();
}

void StationStateFeed::onStepStarted(int row, const QString &function)
{
    const std::optional<double> later
        = ProgramTimes::stepSeconds(m_program, row) ? ProgramTimes::secondsAfter(m_program, row) : std::nullopt;
    m_holder.stepStarted(row, function, later);
    m_forwarder.sendStateSoon();
}

void StationStateFeed::onSample()
{
    const RunRecord &run = m_recorder.record();
    m_holder.sampled(run.last.volts, run.last.amps, run.totals.ampHours, run.last.elapsedSeconds);
}

void StationStateFeed::onStepTimeLeft()
{
    const std::optional<Fixed4> &left = m_recorder.record().stepTimeLeft;
    m_holder.stepTimeLeft(left ? std::optional<double>(left->toDouble()) : std::nullopt);
}

void StationStateFeed::onRunEnded()
{
    m_holder.runEnded(m_recorder.record().resultText(), m_recorder.record().loadOff);
    m_forwarder.sendStateSoon();
}

void StationStateFeed::onLoadOffChanged()
{
    m_holder.loadOffChanged(m_recorder.record().loadOff);
    m_forwarder.sendStateSoon();
}
