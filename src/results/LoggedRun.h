#pragma once

#include "results/RunLogReader.h"
#include "run/Sample.h"
#include "run/StepRecord.h"

#include <QList>

// A run as its CSV log tells it: one sample for each sample row, numbered from 1 as the store
// numbers them, and one step for each stretch of rows of one step (a new function, or a step time
// that starts again), with the verdict of the load's own test where a verdict row says one. The
// log keeps times to the second and no step's row in the program: the steps are numbered from 1
// in the order they ran until rowsFrom() gives their rows.
class LoggedRun
{
public:
    explicit LoggedRun(QList<RunLogReader::Row> rows);

    const QList<RunLogReader::Row> &rows() const { return m_rows; }
    // The sample rows, the first being sample 1.
    qint64 sampleCount() const { return m_samples.size(); }
    const RunLogReader::Row &sampleRow(qint64 seq) const { return m_rows.at(m_samples.at(seq - 1)); }
    // Sample `seq`, its time counted from `started`: a figure the log leaves empty is NaN, and V and
    // I are read from the load's digits as the run read them.
    Sample sample(qint64 seq, const QDateTime &started) const;

    const QList<StepRecord> &steps() const { return m_steps; }
    // The step each sample fell in, an index into steps().
    int stepOfSample(qint64 seq) const { return m_stepOfSample.at(seq - 1); }
    // The line of the log on which each step's rows start.
    int firstLineOf(int step) const { return m_firstLines.at(step); }
    // Gives the steps their rows in the program; samples take their step's.
    void setStepRows(const QList<int> &rows);

    // The first step's start, to the second, as its first row's step time tells it; and the last row.
    QDateTime firstStepStart() const;
    QDateTime lastRowMade() const;
    // Whether a verdict row says FAIL.
    bool anyVerdictFailed() const;

private:
    QList<RunLogReader::Row> m_rows;
    QList<qsizetype> m_samples;
    QList<StepRecord> m_steps;
    QList<int> m_stepOfSample;
    QList<int> m_firstLines;
};
