#pragma once

#include "run/Sample.h"
#include "run/Verdict.h"

#include <QDateTime>
#include <QString>
#include <optional>

// A row of the run's log as the run made it: numbered and timed, holding a sample or a verdict.
// Its cells are made where the row is shown or written.
struct LogRow
{
    qint32 number = 0;
    QDateTime made;
    // What the row's step time counts from: the step's start, to the whole second.
    QDateTime stepStarted;
    QString function;
    // A sample row: the reading, voltage and current in the digits the load sent.
    Sample sample;
    QString voltsText, ampsText;
    // A verdict row of the load's own test, which carries no sample.
    std::optional<Verdict> verdict;
};
