#pragma once

#include "run/LoadOff.h"
#include "run/RunTotals.h"
#include "run/Sample.h"
#include "run/StepRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <algorithm>
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
    // The samples the store holds.
    qint64 sampleCount = 0;
    // The samples the run made, kept with its end; none for a run without a kept end or stored
    // by an earlier version. The store lacks the difference, which the run's CSV log holds.
    std::optional<qint64> samplesMade;
    // The CSV log the run wrote; the log a run was imported from or completed with.
    QString logPath, importedFrom;
    // Whether the load obeyed the run's off lines (None for runs stored before this was kept).
    LoadOff loadOff;
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
    // The samples the run made that the store lacks.
    qint64 missingSamples() const { return samplesMade ? std::max<qint64>(0, *samplesMade - sampleCount) : 0; }
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
