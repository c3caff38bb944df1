#pragma once

#include "run/Sample.h"
#include "run/Verdict.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

// What the run's chart shows, in bounded memory however long the run: the samples fall into at most
// MaxColumns time columns (and one more for each step row's first pass), each keeping the minimum, maximum and last of
// V, I and W. When the run outgrows the columns, neighbouring columns merge and each covers twice the time, so that
// adding a sample costs O(1) amortised while no extreme is ever lost. The CSV keeps every row; this is only for looking
// at.
class ChartHistory
{
public:
    static constexpr int MaxColumns = 2048;
    static constexpr double FirstColumnSeconds = 0.01;
    static constexpr int MaxMarks = 4096;

    struct Range
    {
        double min = 0, max = 0, last = 0;
    };
    struct Column
    {
        // The column's place: [index * secondsPerColumn, (index + 1) * secondsPerColumn).
        qint64 index = 0;
        // The first and last sample's elapsed seconds in it.
        double firstSeconds = 0, lastSeconds = 0;
        Range volts, amps, watts;
        // The Ah the run had drawn at the column's samples, over every step: a discharge curve by
        // capacity places the column by it.
        Range ampHours;
        qint64 samples = 0;
        // The column begins with the first sample of a step row's first pass, and never merges into
        // the column before it: curves aligned at that step start exactly there.
        bool opensStep = false;
    };
    // Where a step row first sampled: its first pass's first sample, or the first sample after it
    // for a row that only jumps (FOR, LOOP).
    struct StepOpening
    {
        int step = 0;
        double seconds = 0;
        // The run's Ah before that sample, drawn by the steps before.
        double ampHoursBefore = 0;
    };
    // A step start (at its first sample) or a verdict (at the sample before it).
    struct Mark
    {
        double seconds = 0;
        int step = 0;
        QString function; // step starts
        enum class Kind { Step, Pass, Fail } kind = Kind::Step;
        QString value; // verdicts: the value the verdict row shows
    };

    void clear();
    void add(const Sample &sample);
    // Marked at the next sample's time.
    void stepStarted(int step, const QString &function);
    // Marked at the last sample's time.
    void verdict(int step, const Verdict &verdict);

    const std::vector<Column> &columns() const { return m_columns; }
    // Two points (seconds, value) per display column of [from, to], its minimum and its maximum:
    // a steady reading draws as a line, a noisy one as the band it spans. The columns in view are
    // gathered into `displayColumns`, so drawing costs the same for a minute and for a day.
    QList<QPointF> envelope(Range Column::*range, double from, double to, int displayColumns) const;
    // The least and greatest of `range` over the columns in [from, to]; none when no column is in
    // it. An OCP, OPP or short test drives the load up to its trip point, far above what any other
    // step draws: once such a test is over its columns are left out unless `tripPeaks` (or unless
    // nothing else is in view), so that its peak does not flatten every other step. Its verdict
    // keeps the value.
    std::optional<std::pair<double, double>> extent(
        Range Column::*range, double from, double to, bool tripPeaks = false) const;
    // Oldest first; at most MaxMarks, the oldest let go first.
    const std::vector<Mark> &marks() const { return m_marks; }
    // In the order the rows first sampled; one per row. Columns grow by at most one per row
    // beyond MaxColumns, since only a row's first pass keeps a column of its own.
    const std::vector<StepOpening> &openings() const { return m_openings; }
    // Where `step` first sampled; none for a row that never ran or never sampled.
    std::optional<StepOpening> opening(int step) const;
    // The first column at or after `opening`: the column its first sample began.
    std::vector<Column>::const_iterator columnAt(const StepOpening &opening) const;
    double secondsPerColumn() const { return m_secondsPerColumn; }
    qint64 sampleCount() const { return m_samples; }
    // The elapsed seconds of the last sample; 0 before the first.
    double lastSeconds() const { return m_lastSeconds; }

private:
    friend class ChartHistoryBytes;

    // The spans of the trip tests that are over, each from its first sample to the next step's.
    std::vector<std::pair<double, double>> finishedTripTests() const;
    void mergeNeighbours();
    void addMark(Mark mark);

    std::vector<Column> m_columns;
    std::vector<Mark> m_marks;
    double m_secondsPerColumn = FirstColumnSeconds;
    qint64 m_samples = 0;
    double m_lastSeconds = 0;
    bool m_stepPending = false;
    Mark m_pendingStep;
    std::vector<StepOpening> m_openings;
    // Rows started but not sampled yet whose first pass this is.
    std::vector<int> m_unopened;
    // The Ah of the passes before the running one, and the running one's so far.
    double m_ampHoursBefore = 0, m_passAmpHours = 0;
};
