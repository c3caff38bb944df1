#include "CommandArguments.h"
#include "RunFilterWords.h"
#include "RunsCommands.h"
#include "RunsConsole.h"
#include "RunsOptions.h"
#include "report/ComparisonCurves.h"
#include "report/ComparisonReport.h"
#include "report/OverlayImage.h"
#include "store/RunComparison.h"
#include "store/RunComparisonCsv.h"
#include "store/RunComparisonReader.h"

#include <QFileInfo>
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

// The word of an option among those it takes, in any case; nothing, with the reason in `error`, for
// another.
template <typename Value>
std::optional<Value> choiceOf(const CommandArguments &words, const QString &option,
    const QList<std::pair<QString, Value>> &choices, Value byDefault, QString *error)
{
    if (!words.has(option))
        return byDefault;
    QStringList names;
    for (const auto &[name, value] : choices) {
        if (words.value(option).compare(name, Qt::CaseInsensitive) == 0)
            return value;
        names.append(name);
    }
    *error = QStringLiteral("%1 is %2 or %3, not \"%4\"")
                 .arg(option, names.mid(0, names.size() - 1).join(QStringLiteral(", ")), names.last(),
                     words.value(option));
    return std::nullopt;
}

} // namespace

int RunsCommands::compare(const RunsOptions &options)
{
    const QString csv = QStringLiteral("--csv"), png = QStringLiteral("--png"), pdf = QStringLiteral("--pdf"),
                  align = QStringLiteral("--align-step"), nominal = QStringLiteral("--nominal"),
                  threshold = QStringLiteral("--threshold"), by = QStringLiteral("--by"),
                  quantity = QStringLiteral("--quantity"), server = QStringLiteral("--server");
    const CommandArguments words(options.arguments,
        RunFilterWords::options() + QStringList{csv, png, pdf, align, nominal, threshold, by, quantity}, {server});
    if (!words.error().isEmpty())
        return RunsConsole::misuse(words.error());
    const QStringList outputs{csv, png, pdf};
    if (std::none_of(outputs.begin(), outputs.end(), [&words](const QString &output) { return words.has(output); }))
        return RunsConsole::misuse(QStringLiteral("compare writes with --csv FILE, --png FILE or --pdf FILE"));
    // Two files on standard output at once would be one file no reader could take apart.
    if (std::count_if(outputs.begin(), outputs.end(),
            [&words](const QString &output) { return words.has(output) && words.value(output) == u"-"; })
        > 1)
        return RunsConsole::misuse(QStringLiteral("only one of --csv, --png and --pdf can be \"-\""));
    // A picture that cannot be made is known before anything is written.
    if (words.has(png) && OverlayImage::formatOf(words.value(png)).isEmpty())
        return RunsConsole::misuse(QStringLiteral("--png %1: no picture format is named .%2")
                                       .arg(words.value(png), QFileInfo(words.value(png)).suffix()));
    QString error;
    OverlayPainter::View view;
    const std::optional<OverlayCurve::By> curveBy = choiceOf<OverlayCurve::By>(words, by,
        {{QStringLiteral("time"), OverlayCurve::By::Seconds}, {QStringLiteral("ah"), OverlayCurve::By::AmpHours}},
        OverlayCurve::By::Seconds, &error);
    const std::optional<OverlayPainter::Quantity> drawn = choiceOf<OverlayPainter::Quantity>(words, quantity,
        {{QStringLiteral("v"), OverlayPainter::Quantity::Volts}, {QStringLiteral("i"), OverlayPainter::Quantity::Amps},
            {QStringLiteral("w"), OverlayPainter::Quantity::Watts}},
        OverlayPainter::Quantity::Volts, &error);
    if (!curveBy || !drawn)
        return RunsConsole::misuse(error);
    view.by = *curveBy;
    view.quantity = *drawn;
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
    view.alignStep = alignStep;
    error.clear();
    if (words.has(csv))
        error = RunComparisonCsv::write(comparison, words.value(csv));
    if (error.isEmpty() && words.has(png)) {
        const ComparisonCurves curves(comparison, view.by, alignStep);
        error = OverlayImage::write(curves.painted(), view, words.value(png));
    }
    if (error.isEmpty() && words.has(pdf))
        error = ComparisonReport::write(comparison, view, words.value(pdf));
    if (!error.isEmpty())
        return RunsConsole::fail(error);
    return allAligned ? RunsConsole::Done : RunsConsole::Failed;
}
