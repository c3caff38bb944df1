#include "store/RunFigures.h"

#include "store/RunArchive.h"
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
    const RunArchive &archive, const StoredRun &run, std::optional<int> alignStep, QString *error)
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
    figures.endVolts = none;
    figures.minVolts = none;
    // Samples carry their step's row only, so the aligned pass begins at the row's first sample.
    bool reached = !alignStep;
    QString readError;
    const bool read = archive.forEachSample(
        run.uuid,
        [&](const StoredSample &sample) {
            const double volts = sample.reading.volts;
            figures.endVolts = volts;
            reached = reached || sample.reading.step == *alignStep;
            if (reached && !(figures.minVolts <= volts))
                figures.minVolts = volts;
            return true;
        },
        &readError);
    if (!read) {
        *error = QStringLiteral("run %1: %2").arg(run.uuid, readError);
        return std::nullopt;
    }
    return figures;
}
