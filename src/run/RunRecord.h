#pragma once

#include "model/Fixed4.h"
#include "run/LoadOff.h"
#include "run/RunOptions.h"
#include "run/RunResult.h"
#include "run/RunTotals.h"
#include "run/Sample.h"
#include "run/StepRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// A run as far as it has gone: what every view and every keeper of a run reads.
struct RunRecord
{
    bool started = false;
    RunOptions options;
    QDateTime startedAt, endedAt;
    // The load the run identified; known once the run has ended.
    QString model;
    // None while the run goes on.
    std::optional<RunResult> result;
    QString message;
    // Every step that ran, in order; a FOR or LOOP that only jumped is left out.
    QList<StepRecord> steps;
    // The step that runs now: its index in `steps`, or -1.
    int open = -1;
    // The latest sample; `samples` counts them.
    Sample last;
    qint64 samples = 0;
    qint32 rows = 0;
    int failVerdicts = 0;
    RunTotals totals;
    // The running step's time left; none while the step has no time to count.
    std::optional<Fixed4> stepTimeLeft;
    // Since when (the run's elapsed seconds) the load has not answered while its link is made
    // again; none while it answers.
    std::optional<double> silentSince;
    // Whether the load obeyed the run's off lines; known from the run's end on.
    LoadOff loadOff;

    bool isFinished() const { return result.has_value(); }
    const StepRecord *runningStep() const { return open >= 0 ? &steps.at(open) : nullptr; }
    // "PASS", "FAIL", "STOPPED", "LOST", "ERROR"; "" while the run goes on.
    QString resultText() const { return result ? runResultText(*result) : QString(); }
};
