#pragma once

#include "store/StationState.h"

#include <mutex>
#include <optional>

// The station's state as its run goes, handed from the engine's thread to the forwarding thread:
// each sample copies a few numbers under the lock, each round takes a copy of the whole.
class StationStateHolder
{
public:
    struct Snapshot
    {
        StationState state;
        // From now to the program's end, where the steps' times tell it.
        std::optional<double> secondsToEnd;
    };

    StationStateHolder(const QString &station, const QString &stationId);

    void runStarted(const QString &uuid, const QString &program, int steps);
    // `laterSeconds`: the steps after this one together, when this one and they all end on time.
    void stepStarted(int row, const QString &function, std::optional<double> laterSeconds);
    void sampled(double volts, double amps, double runAmpHours, double elapsedSeconds);
    void stepTimeLeft(std::optional<double> seconds);
    // The running fields go; the run's UUID, its program, how it ended and what became of its off
    // lines stay.
    void runEnded(const QString &result, const LoadOff &loadOff);
    // A later try found the load of the run that ended.
    void loadOffChanged(const LoadOff &loadOff);
    // The finished state a process before this one kept on the bench, while this one has run
    // nothing: the lab goes on seeing how the station's last run ended.
    void restoreFinished(const StationState &finished);

    Snapshot snapshot() const;

private:
    mutable std::mutex m_mutex;
    StationState m_state;
    std::optional<double> m_laterSeconds;
};
