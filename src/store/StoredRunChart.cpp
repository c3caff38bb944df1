#include "store/StoredRunChart.h"

#include "store/RunArchive.h"

#include <optional>

namespace {

// Asking whether to stop costs more than adding a sample: ask once per this many.
constexpr qint64 SamplesPerCancelCheck = 1024;

} // namespace

bool StoredRunChart::fill(ChartHistory &history, const RunArchive &archive, const StoredRun &run,
    const std::function<bool()> &cancelled, QString *error)
{
    history.clear();
    error->clear();
    const QList<StepRecord> &steps = run.steps;
    // The steps table lists each pass of a step in order; the samples of one pass follow each other.
    qsizetype searchFrom = 0;
    const StepRecord *pass = nullptr;
    std::optional<int> sampledStep;
    const auto passEnded = [&] {
        if (pass && pass->verdict)
            history.verdict(pass->row, *pass->verdict);
    };
    qint64 read = 0;
    bool stopped = false;
    const bool ok = archive.forEachSample(
        run.uuid,
        [&](const StoredSample &sample) {
            if (++read % SamplesPerCancelCheck == 0 && cancelled()) {
                stopped = true;
                return false;
            }
            const Sample &reading = sample.reading;
            if (reading.step != sampledStep) {
                passEnded();
                sampledStep = reading.step;
                pass = nullptr;
                for (qsizetype at = searchFrom; at < steps.size(); ++at) {
                    if (steps.at(at).row == reading.step) {
                        pass = &steps.at(at);
                        searchFrom = at + 1;
                        break;
                    }
                }
                history.stepStarted(reading.step, pass ? pass->function : QString());
            }
            history.add(reading);
            return true;
        },
        error);
    if (!ok || stopped)
        return false;
    passEnded();
    return true;
}
