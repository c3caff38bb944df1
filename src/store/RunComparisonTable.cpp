#include "store/RunComparisonTable.h"

#include "store/RunComparison.h"

#include <QFileInfo>
#include <cmath>

namespace {

struct Figure
{
    const char *header;
    RunComparison::Figure figure;
    QString (*text)(double value);
};

QString fixed(double value, int decimals, const char *unit)
{
    if (std::isnan(value))
        return QStringLiteral("–");
    if (std::abs(value) < 0.5 * std::pow(10.0, -decimals))
        value = 0;
    return QStringLiteral("%1 %2").arg(value, 0, 'f', decimals).arg(QLatin1String(unit));
}

const Figure Figures[] = {
    {"Capacity", [](const RunComparison::Entry &entry) { return entry.figures.ampHours; },
        [](double value) { return fixed(value, 4, "Ah"); }},
    {"Energy", [](const RunComparison::Entry &entry) { return entry.figures.wattHours; },
        [](double value) { return fixed(value, 3, "Wh"); }},
    {"Duration", [](const RunComparison::Entry &entry) { return entry.figures.seconds; },
        [](double value) { return RunComparisonTable::durationText(value); }},
    {"End V", [](const RunComparison::Entry &entry) { return entry.figures.endVolts; },
        [](double value) { return fixed(value, 3, "V"); }},
    {"Min V", [](const RunComparison::Entry &entry) { return entry.figures.minVolts; },
        [](double value) { return fixed(value, 3, "V"); }},
};

QString percent(double share) { return std::isnan(share) ? QStringLiteral("–") : fixed(100 * share, 1, "%"); }

} // namespace

QString RunComparisonTable::durationText(double seconds)
{
    if (std::isnan(seconds))
        return QStringLiteral("–");
    const qint64 whole = std::llround(seconds);
    if (whole < 60)
        return QStringLiteral("%1 s").arg(seconds, 0, 'f', 1);
    if (whole < 3600)
        return QStringLiteral("%1 min %2 s").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min %3 s")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

RunComparisonTable::RunComparisonTable(const RunComparison &comparison)
{
    const bool judged = comparison.nominal().has_value();
    m_headers = QStringList{QStringLiteral("#"), QStringLiteral("Station"), QStringLiteral("Program"),
        QStringLiteral("Started"), QStringLiteral("Result")};
    for (const Figure &figure : Figures)
        m_headers.append(QLatin1String(figure.header));
    m_headers << QStringLiteral("Ending") << QStringLiteral("Verdicts");
    if (judged) {
        m_headers << QStringLiteral("SOH");
        m_healthColumn = int(m_headers.size());
        m_headers << QStringLiteral("Health");
    }

    qsizetype number = 0;
    for (const RunComparison::Entry &entry : comparison.entries()) {
        const StoredRun &run = entry.run;
        QStringList row{QString::number(++number), run.station, QFileInfo(run.programName).fileName(),
            run.started.toString(QStringLiteral("yyyy-MM-dd HH:mm")), run.resultText()};
        for (const Figure &figure : Figures)
            row.append(figure.text(figure.figure(entry)));
        row << entry.figures.ending << entry.figures.verdicts;
        if (judged)
            row << percent(comparison.stateOfHealth(entry))
                << (comparison.healthy(entry) ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
        m_rows.append(row);
    }
    m_runRows = m_rows.size();

    const double RunComparison::Spread::*parts[] = {&RunComparison::Spread::mean, &RunComparison::Spread::min,
        &RunComparison::Spread::max, &RunComparison::Spread::stddev};
    for (qsizetype k = 0; k < SpreadNames.size(); ++k) {
        QStringList row{SpreadNames.at(k), {}, {}, {}, {}};
        for (const Figure &figure : Figures) {
            const std::optional<RunComparison::Spread> spread = comparison.spread(figure.figure);
            row.append(spread ? figure.text((*spread).*parts[k]) : QStringLiteral("–"));
        }
        row << QString() << QString();
        if (judged) {
            const std::optional<RunComparison::Spread> spread = comparison.stateOfHealthSpread();
            row << (spread ? percent((*spread).*parts[k]) : QStringLiteral("–")) << QString();
        }
        m_rows.append(row);
    }
}
