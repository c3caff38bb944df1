#pragma once

#include "run/LoadOff.h"

#include <QDateTime>
#include <QString>
#include <cmath>
#include <limits>
#include <optional>

// One station as the lab's server last heard of it: what it runs now, or how its last run ended.
struct StationState
{
    // A station not heard from for longer than this is taken for silent: its heartbeat comes every 2 s.
    static constexpr double SilentAfterSeconds = 10;

    enum class Activity { Idle, Running, Finished };

    QString station;
    // The station's own id (StationIdentity); empty for a station of a bench before version 1.3,
    // which the lab's server knows by its name only.
    QString stationId;
    // Another station of the lab has the same name.
    bool nameShared = false;
    Activity activity = Activity::Idle;
    // The run going on, or the last one; empty when the station has run none since it started.
    QString runUuid;
    QString program;
    // The step in progress: its place among the program's steps (n of N, from 1), its row and
    // function; 0 and empty when no step is in progress.
    int step = 0, steps = 0, row = 0;
    QString function;
    // The latest reading and the run's totals; NaN before the first sample.
    double volts = std::numeric_limits<double>::quiet_NaN();
    double amps = std::numeric_limits<double>::quiet_NaN();
    double runAmpHours = std::numeric_limits<double>::quiet_NaN();
    double elapsedSeconds = 0;
    // The step's time left, and the program's end as the steps' times foretell it; none where a
    // step ends on a condition (a voltage, a loop) rather than a time.
    std::optional<double> stepSecondsLeft;
    QDateTime estimatedEnd;
    // How the last run ended ("PASS", "FAIL", ...); empty until one has.
    QString lastResult;
    // Whether the last run's load obeyed its off lines: unconfirmed until a later try finds it
    // off, and then when that was. None while a run goes on and before any has ended.
    LoadOff loadOff;
    // The server's clock at the station's last round, and how long ago that was when read.
    QDateTime heardAt;
    double silentSeconds = 0;

    // A station whose run has ended may well have gone (vornic-run ends with its run): only one that
    // went quiet while it ran or stood ready is silent.
    // What tells this station apart from every other one of the lab.
    QString key() const { return stationId.isEmpty() ? station : stationId; }
    // The name, with the start of the id where another station has that name too.
    QString label() const
    {
        return nameShared && !stationId.isEmpty() ? QStringLiteral("%1 [%2]").arg(station, stationId.left(8)) : station;
    }

    bool isSilent() const { return activity != Activity::Finished && silentSeconds > SilentAfterSeconds; }
};
