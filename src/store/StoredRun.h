#pragma once

#include "run/RunTotals.h"
#include "run/Sample.h"
#include "run/StepRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// One run as a store keeps it: what the Runs list, the report and the exports read.
struct StoredRun
{
    QString uuid;
    QString programName, programText;
    QString model, ratedCurrent;
    QString settingsText;
    QString station;
    QDateTime started, ended;
    // "PASS", "FAIL", "STOPPED", "LOST", "ERROR"; "" for a run that never ended (still going, or
    // its program was killed).
    QString result;
    QString message;
    qint64 sampleCount = 0;
    // Why the lab server refused the run when it did, as its bench recorded it; only filled by
    // RunArchive::runs() from a bench's store.
    QString refusal;
    // Only filled by RunArchive::run().
    QList<StepRecord> steps;
    // What the run drew over all its steps and how long it went; none for a run that kept no steps
    // (its program was killed).
    std::optional<RunTotals> totals;

    static RunTotals totalsOf(const StoredRun &run);
    // From its start to its end, or over its steps when it has no end.
    static double secondsOf(const StoredRun &run);

    // The result as the operator reads it: "" becomes "UNFINISHED".
    QString resultText() const { return result.isEmpty() ? QStringLiteral("UNFINISHED") : result; }
};

inline double StoredRun::secondsOf(const StoredRun &run)
{
    if (run.started.isValid() && run.ended.isValid())
        return double(run.started.msecsTo(run.ended)) / 1000.0;
    double seconds = 0;
    for (const StepRecord &step : run.steps)
        seconds += step.seconds;
    return seconds;
}

inline RunTotals StoredRun::totalsOf(const StoredRun &run)
{
    RunTotals totals;
    for (const StepRecord &step : run.steps) {
        totals.ampHours += step.ampHours;
        totals.wattHours += step.wattHours;
    }
    totals.seconds = secondsOf(run);
    return totals;
}

struct StoredSample
{
    qint64 seq = 0;
    Sample reading;
};
