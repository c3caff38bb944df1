#include "store/StationStateHolder.h"

#include <algorithm>

StationStateHolder::StationStateHolder(const QString &station, const QString &stationId)
{
    m_state.station = station;
    m_state.stationId = stationId;
}

void StationStateHolder::runStarted(const QString &uuid, const QString &program, int steps)
{
    const std::lock_guard lock(m_mutex);
    const StationState before = m_state;
    m_state = StationState();
    m_state.station = before.station;
    m_state.stationId = before.stationId;
    m_state.lastResult = before.lastResult;
    m_state.activity = StationState::Activity::Running;
    m_state.runUuid = uuid;
    m_state.program = program;
    m_state.steps = steps;
    m_laterSeconds.reset();
}

void StationStateHolder::stepStarted(int row, const QString &function, std::optional<double> laterSeconds)
{
    const std::lock_guard lock(m_mutex);
    // The recorder counts a step's place by its row, as the window's status does.
    m_state.step = row;
    m_state.row = row;
    m_state.function = function;
    m_state.stepSecondsLeft.reset();
    m_laterSeconds = laterSeconds;
}

void StationStateHolder::sampled(double volts, double amps, double runAmpHours, double elapsedSeconds)
{
    const std::lock_guard lock(m_mutex);
    m_state.volts = volts;
    m_state.amps = amps;
    m_state.runAmpHours = runAmpHours;
    m_state.elapsedSeconds = elapsedSeconds;
}

void StationStateHolder::stepTimeLeft(std::optional<double> seconds)
{
    const std::lock_guard lock(m_mutex);
    m_state.stepSecondsLeft = seconds;
}

void StationStateHolder::loadOffChanged(const LoadOff &loadOff)
{
    const std::lock_guard lock(m_mutex);
    if (m_state.activity == StationState::Activity::Finished)
        m_state.loadOff = loadOff;
}

void StationStateHolder::runEnded(const QString &result, const LoadOff &loadOff)
{
    const std::lock_guard lock(m_mutex);
    StationState ended;
    ended.station = m_state.station;
    ended.stationId = m_state.stationId;
    ended.activity = StationState::Activity::Finished;
    ended.runUuid = m_state.runUuid;
    ended.program = m_state.program;
    ended.lastResult = result;
    ended.loadOff = loadOff;
    m_state = ended;
    m_laterSeconds.reset();
}

void StationStateHolder::restoreFinished(const StationState &finished)
{
    const std::lock_guard lock(m_mutex);
    if (m_state.activity != StationState::Activity::Idle || !m_state.runUuid.isEmpty())
        return;
    const QString station = m_state.station, stationId = m_state.stationId;
    m_state = finished;
    m_state.station = station;
    m_state.stationId = stationId;
    m_state.activity = StationState::Activity::Finished;
}

StationStateHolder::Snapshot StationStateHolder::snapshot() const
{
    const std::lock_guard lock(m_mutex);
    Snapshot snapshot{m_state, std::nullopt};
    if (m_state.activity == StationState::Activity::Running && m_state.stepSecondsLeft && m_laterSeconds)
        snapshot.secondsToEnd = std::max(0.0, *m_state.stepSecondsLeft) + *m_laterSeconds;
    return snapshot;
}
