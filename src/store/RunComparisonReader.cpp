#include "store/RunComparisonReader.h"

#include "store/RunArchive.h"

std::optional<RunComparisonReader::Read> RunComparisonReader::read(const RunArchive &archive, const QStringList &uuids,
    std::optional<int> alignStep, const std::function<bool()> &cancelled, QString *error)
{
    Read read;
    QStringList compared;
    for (const QString &uuid : uuids) {
        if (cancelled()) {
            error->clear();
            return std::nullopt;
        }
        std::optional<StoredRun> run = archive.run(uuid, error, RunArchive::Samples::NotCounted);
        if (!run)
            return std::nullopt;
        if (compared.contains(run->uuid))
            continue;
        compared.append(run->uuid);
        if (alignStep && !RunFigures::hasStep(*run, *alignStep)) {
            read.leftOut.append(RunFigures::noStepText(*run, *alignStep));
            continue;
        }
        std::optional<ChartHistory> chart = archive.chart(*run, cancelled, error);
        if (!chart) {
            if (!error->isEmpty())
                *error = QStringLiteral("run %1: %2").arg(run->uuid, *error);
            return std::nullopt;
        }
        run->sampleCount = chart->sampleCount();
        const std::optional<RunFigures> figures = RunFigures::measure(*run, *chart, alignStep, error);
        if (!figures)
            return std::nullopt;
        read.comparison.add({std::move(*run), *figures, std::move(*chart)});
    }
    return read;
}
