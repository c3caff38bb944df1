#include "CommandArguments.h"
#include "RunFilterWords.h"
#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "store/RunComparison.h"
#include "store/RunComparisonCsv.h"
#include "store/RunComparisonReader.h"

#include <algorithm>
#include <cmath>

namespace {

// A number above zero from an option's text; nothing, with the reason in `error`, for anything else.
std::optional<double> positiveNumber(const CommandArguments &words, const QString &option, QString *error)
{
    bool ok = false;
    const double value = words.value(option).toDouble(&ok);
    if (ok && value > 0 && std::isfinite(value))
        return value;
    *error = QStringLiteral("%1 needs a number above 0, not \"%2\"").arg(option, words.value(option));
    return std::nullopt;
}

// The UUIDs of the runs named, or of those the filter picks when none is named, as list shows them.
std::optional<QStringList> pickedUuids(
    const RunArchive &archive, const QStringList &named, const RunArchive::Filter &filter, QString *error)
{
    if (!named.isEmpty())
        return named;
    const QList<StoredRun> runs = archive.runs(filter, error);
    if (!error->isEmpty())
        return std::nullopt;
    QStringList uuids;
    for (const StoredRun &run : runs)
        uuids.append(run.uuid);
    return uuids;
}

} // namespace

int RunsCommands::compare(const RunsOptions &options)
{
    const QString csv = QStringLiteral("--csv"), align = QStringLiteral("--align-step"),
                  nominal = QStringLiteral("--nominal"), threshold = QStringLiteral("--threshold"),
                  server = QStringLiteral("--server");
    const CommandArguments words(
        options.arguments, RunFilterWords::options() + QStringList{csv, align, nominal, threshold}, {server});
    if (!words.error().isEmpty())
        return RunsConsole::misuse(words.error());
    if (!words.has(csv))
        return RunsConsole::misuse(QStringLiteral("compare writes its figures with --csv FILE"));
    QString error;
    const std::optional<RunArchive::Filter> filter = RunFilterWords::filterOf(words, &error);
    if (!filter)
        return RunsConsole::misuse(error);
    const QStringList filterOptions = RunFilterWords::options();
    const bool filtered = std::any_of(
        filterOptions.begin(), filterOptions.end(), [&words](const QString &option) { return words.has(option); });
    if (filtered && !words.positional().isEmpty())
        return RunsConsole::misuse(QStringLiteral("compare takes runs by UUID or by filters, not both"));
    std::optional<int> alignStep;
    if (words.has(align)) {
        bool ok = false;
        alignStep = words.value(align).toInt(&ok);
        if (!ok || *alignStep < 1)
            return RunsConsole::misuse(
                QStringLiteral("--align-step needs a step number from 1, not \"%1\"").arg(words.value(align)));
    }
    std::optional<double> nominalAmpHours, thresholdShare;
    if (words.has(threshold) && !words.has(nominal))
        return RunsConsole::misuse(QStringLiteral("--threshold needs --nominal"));
    if (words.has(nominal)) {
        const std::optional<double> ampHours = positiveNumber(words, nominal, &error);
        std::optional<double> percent = 100.0 * RunComparison::DefaultThreshold;
        if (words.has(threshold))
            percent = positiveNumber(words, threshold, &error);
        if (!ampHours || !percent)
            return RunsConsole::misuse(error);
        // A share written as a fraction would pass every part.
        if (*percent <= 1)
            return RunsConsole::misuse(
                QStringLiteral("--threshold is a percentage (80 for 80 %), not \"%1\"").arg(words.value(threshold)));
        nominalAmpHours = *ampHours;
        thresholdShare = *percent / 100.0;
    }

    RunsOptions from = options;
    from.server = options.server || words.has(server);
    std::optional<RunArchive> archive = from.openArchive(&error);
    if (!archive)
        return RunsConsole::fail(error);
    error.clear();
    const std::optional<QStringList> uuids = pickedUuids(*archive, words.positional(), *filter, &error);
    if (!uuids)
        return RunsConsole::fail(QStringLiteral("%1: %2").arg(archive->describe(), error));
    std::optional<RunComparisonReader::Read> read = RunComparisonReader::read(
        *archive, *uuids, alignStep, [] { return false; }, &error);
    if (!read)
        return RunsConsole::fail(error);
    for (const QString &leftOut : read->leftOut)
        RunsConsole::note(leftOut);
    const bool allAligned = read->leftOut.isEmpty();
    if (nominalAmpHours)
        read->comparison.setNominal(*nominalAmpHours, *thresholdShare);
    const RunComparison &comparison = read->comparison;
    if (comparison.entries().isEmpty())
        return RunsConsole::fail(QStringLiteral("no run to compare"));
    error = RunComparisonCsv::write(comparison, words.value(csv));
    if (!error.isEmpty())
        return RunsConsole::fail(error);
    return allAligned ? RunsConsole::Done : RunsConsole::Failed;
}
