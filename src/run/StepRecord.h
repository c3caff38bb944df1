#pragma once

#include "run/StepEnd.h"
#include "run/Verdict.h"

#include <QDateTime>
#include <QString>
#include <optional>

// One step as it ran: a row of the program may run many times (a LOOP's body, a step started
// again when its time ran out), and each time is a record of its own.
struct StepRecord
{
    // The step's row in the program.
    int row = 0;
    QString function;
    QDateTime started, ended;
    StepEnd end = StepEnd::None;
    std::optional<Verdict> verdict;
    // From its start to its last sample while it runs, to its end once it has ended.
    double seconds = 0;
    // At its last sample: what it drew, and the last reading.
    double ampHours = 0, wattHours = 0;
    double volts = 0, amps = 0;
    // Whether any sample fell in it: a FOR or LOOP only jumps and never samples.
    bool sampled = false;
};
