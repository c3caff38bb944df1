#include "store/RunComparisonCsv.h"

#include "model/OutputFile.h"
#include "store/RunComparison.h"

#include <QIODevice>
#include <QList>
#include <cmath>

namespace {

struct NumberColumn
{
    const char *header;
    RunComparison::Figure figure;
    int decimals;
};

const NumberColumn Numbers[] = {
    {"Ah", [](const RunComparison::Entry &entry) { return entry.figures.ampHours; }, 6},
    {"Wh", [](const RunComparison::Entry &entry) { return entry.figures.wattHours; }, 6},
    {"Seconds", [](const RunComparison::Entry &entry) { return entry.figures.seconds; }, 1},
    {"EndV", [](const RunComparison::Entry &entry) { return entry.figures.endVolts; }, 3},
    {"MinV", [](const RunComparison::Entry &entry) { return entry.figures.minVolts; }, 3},
};
constexpr int SohDecimals = 4;

// A value that rounds to zero is written as 0, not -0; a missing one as an empty cell.
QByteArray fixed(double value, int decimals)
{
    if (std::isnan(value))
        return {};
    return QByteArray::number(std::abs(value) < 0.5 * std::pow(10.0, -decimals) ? 0.0 : value, 'f', decimals);
}

// Program names and messages are free text: a cell with a comma, a quote or a line break is quoted.
QByteArray cell(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    return '"' + bytes.replace('"', "\"\"") + '"';
}

QByteArray line(const QList<QByteArray> &cells) { return QByteArrayList(cells).join(',') + "\r\n"; }

QByteArray spreadCell(
    const std::optional<RunComparison::Spread> &spread, double RunComparison::Spread::*part, int decimals)
{
    return spread ? fixed((*spread).*part, decimals) : QByteArray();
}

} // namespace

QByteArray RunComparisonCsv::toCsv(const RunComparison &comparison)
{
    const bool judged = comparison.nominal().has_value();
    QList<QByteArray> header{"UUID", "Station", "Program", "Started", "Result"};
    for (const NumberColumn &column : Numbers)
        header.append(column.header);
    header << "Ending"
           << "Verdicts";
    if (judged)
        header << "SOH"
               << "SOHVerdict";
    QByteArray csv = line(header);

    for (const RunComparison::Entry &entry : comparison.entries()) {
        const StoredRun &run = entry.run;
        QList<QByteArray> cells{cell(run.uuid), cell(run.station), cell(run.programName),
            run.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1(), cell(run.resultText())};
        for (const NumberColumn &column : Numbers)
            cells.append(fixed(column.figure(entry), column.decimals));
        cells << cell(entry.figures.ending) << cell(entry.figures.verdicts);
        if (judged)
            cells << fixed(comparison.stateOfHealth(entry), SohDecimals)
                  << (comparison.healthy(entry) ? "PASS" : "FAIL");
        csv += line(cells);
    }

    const std::pair<const char *, double RunComparison::Spread::*> parts[]
        = {{"mean", &RunComparison::Spread::mean}, {"min", &RunComparison::Spread::min},
            {"max", &RunComparison::Spread::max}, {"stddev", &RunComparison::Spread::stddev}};
    for (const auto &[name, part] : parts) {
        QList<QByteArray> cells{name, {}, {}, {}, {}};
        for (const NumberColumn &column : Numbers)
            cells.append(spreadCell(comparison.spread(column.figure), part, column.decimals));
        cells << QByteArray() << QByteArray();
        if (judged)
            cells << spreadCell(comparison.stateOfHealthSpread(), part, SohDecimals) << QByteArray();
        csv += line(cells);
    }
    return csv;
}

QString RunComparisonCsv::write(const RunComparison &comparison, const QString &path)
{
    OutputFile file(path, OutputFile::Dash::StandardOutput);
    if (!file.open())
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    const QByteArray csv = toCsv(comparison);
    if (file.device().write(csv) != csv.size()) {
        const QString reason = file.device().errorString();
        file.cancel();
        return QStringLiteral("%1: %2").arg(path, reason);
    }
    if (!file.commit())
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    return QString();
}
