#pragma once

#include <QString>
#include <optional>

class ChartHistory;
struct StoredRun;

// What one stored run gave, as a comparison of runs lines them up: from the first pass of the
// step they are aligned at on (or from the run's start), to the run's end.
struct RunFigures
{
    // Drawn over the steps from the aligned one on.
    double ampHours = 0, wattHours = 0;
    // From the aligned step's start to the run's end.
    double seconds = 0;
    // The last sample's reading, and the lowest from the aligned step's first sample on; NaN for
    // a run that kept no such sample.
    double endVolts = 0, minVolts = 0;
    // The result and how its last step ended: "PASS, voltage"; the result alone without steps.
    QString ending;
    // "2 PASS, 1 FAIL" over all the run's steps; "" when none was judged.
    QString verdicts;

    // The figures of `run` (read with its steps) and its chart, aligned at the first pass of step
    // row `alignStep` when given. Nothing, with the reason naming the run in `error`, when the run
    // has no such step.
    static std::optional<RunFigures> measure(
        const StoredRun &run, const ChartHistory &chart, std::optional<int> alignStep, QString *error);
    // Whether `run` passed through step row `row`: a run can be aligned there.
    static bool hasStep(const StoredRun &run, int row);
    // What is said of a run that has no step row `row` to align at.
    static QString noStepText(const StoredRun &run, int row);
};
