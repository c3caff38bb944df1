#include "report/StoredHistory.h"

#include "results/ChartHistory.h"
#include "store/RunArchive.h"

#include <QHash>
#include <limits>

namespace {

RunEvents::Sample eventSample(const StoredSample &stored)
{
    RunEvents::Sample sample;
    sample.elapsedSeconds = stored.elapsedSeconds;
    sample.volts = stored.volts;
    sample.amps = stored.amps;
    sample.watts = stored.watts;
    sample.ampHours = stored.ampHours;
    sample.wattHours = stored.wattHours;
    sample.step = stored.step;
    return sample;
}

} // namespace

bool StoredHistory::load(const RunArchive &archive, const StoredRun &run, ChartHistory &history, QString *error)
{
    history.clear();
    const QList<RunSummary::Step> &steps = run.steps;
    QHash<int, QString> functions;
    for (const RunSummary::Step &step : steps)
        functions.insert(step.step, step.function);
    // The steps are in the order they ran and the samples too: a step that runs again (in a loop)
    // is the next row of its number after the one before.
    qsizetype row = -1, searchFrom = 0;
    int current = std::numeric_limits<int>::min();
    const auto closeRow = [&] {
        if (row < 0 || steps.at(row).verdict.isEmpty())
            return;
        RunEvents::Verdict verdict;
        verdict.step = steps.at(row).step;
        verdict.pass = steps.at(row).verdict == u"PASS";
        verdict.value = steps.at(row).value;
        history.verdict(verdict);
    };
    const bool read = archive.forEachSample(
        run.uuid,
        [&](const StoredSample &sample) {
            if (sample.step != current) {
                closeRow();
                row = -1;
                for (qsizetype k = searchFrom; k < steps.size(); ++k) {
                    if (steps.at(k).step == sample.step) {
                        row = k;
                        searchFrom = k + 1;
                        break;
                    }
                }
                current = sample.step;
                history.stepStarted(current, functions.value(current));
            }
            history.add(eventSample(sample));
            return true;
        },
        error);
    closeRow();
    return read;
}
