#pragma once

#include "results/RunSummary.h"

#include <QDateTime>
#include <QList>
#include <QString>

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
    QList<RunSummary::Step> steps;

    // The result as the operator reads it: "" becomes "UNFINISHED".
    QString resultText() const { return result.isEmpty() ? QStringLiteral("UNFINISHED") : result; }
};

struct StoredSample
{
    qint64 seq = 0;
    double elapsedSeconds = 0;
    double volts = 0, amps = 0, watts = 0, ampHours = 0, wattHours = 0;
    int step = 0;
};
