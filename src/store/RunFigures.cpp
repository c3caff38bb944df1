#include "store/RunFigures.h"

#include "results/ChartHistory.h"
#include "store/StoredRun.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QString verdictsText(const QList<StepRecord> &steps)
{
    const auto count = [&steps](bool pass) {
        return std::count_if(steps.begin(), steps.end(),
            [pass](const StepRecord &step) { return step.verdict && step.verdict->pass == pass; });
    };
    QStringList parts;
    if (const auto passed = count(true))
        parts.append(QStringLiteral("%1 PASS").arg(passed));
    if (const auto failed = count(false))
        parts.append(QStringLiteral("%1 FAIL").arg(failed));
    return parts.join(QStringLiteral(", "));
}

QString endingText(const StoredRun &run)
{
    const QString lastEnd = run.steps.isEmpty() ? QString() : stepEndText(run.steps.last().end);
    return lastEnd.isEmpty() ? run.resultText() : run.resultText() + QStringLiteral(", ") + lastEnd;
}

// From the aligned step's start to the run's end; over the steps when either time is missing.
double secondsFrom(const StoredRun &run, qsizetype first)
{
    if (first == 0)
        return StoredRun::secondsOf(run);
    const StepRecord &aligned = run.steps.at(first);
    if (aligned.started.isValid() && run.ended.isValid())
        return double(aligned.started.msecsTo(run.ended)) / 1000.0;
    double seconds = 0;
    for (qsizetype k = first; k < run.steps.size(); ++k)
        seconds += run.steps.at(k).seconds;
    return seconds;
}

} // namespace

bool RunFigures::hasStep(const StoredRun &run, int row)
{
    return std::any_of(run.steps.begin(), run.steps.end(), [row](const StepRecord &step) { return step.row == row; });
}

QString RunFigures::noStepText(const StoredRun &run, int row)
{
    return QStringLiteral("run %1 has no step %2 to align at").arg(run.uuid).arg(row);
}

std::optional<RunFigures> RunFigures::measure(
    const StoredRun &run, const ChartHistory &chart, std::optional<int> alignStep, QString *error)
{
    qsizetype first = 0;
    if (alignStep) {
        const auto aligned = std::find_if(
            run.steps.begin(), run.steps.end(), [&](const StepRecord &step) { return step.row == *alignStep; });
        if (aligned == run.steps.end()) {
            *error = noStepText(run, *alignStep);
            return std::nullopt;
        }
        first = aligned - run.steps.begin();
    }
    RunFigures figures;
    for (qsizetype k = first; k < run.steps.size(); ++k) {
        figures.ampHours += run.steps.at(k).ampHours;
        figures.wattHours += run.steps.at(k).wattHours;
    }
    figures.seconds = secondsFrom(run, first);
    figures.ending = endingText(run);
    figures.verdicts = verdictsText(run.steps);

    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    const std::vector<ChartHistory::Column> &columns = chart.columns();
    figures.endVolts = columns.empty() ? none : columns.back().volts.last;
    // The aligned step's first sample begins a column of its own, so the columns from it hold
    // exactly the readings from it on.
    auto from = columns.begin();
    if (alignStep) {
        const std::optional<ChartHistory::StepOpening> opening = chart.opening(*alignStep);
        from = opening ? chart.columnAt(*opening) : columns.end();
    }
    figures.minVolts = none;
    for (auto column = from; column != columns.end(); ++column) {
        if (!(figures.minVolts <= column->volts.min))
            figures.minVolts = column->volts.min;
    }
    return figures;
}
