#include "store/RunComparisonTable.h"

#include "model/FigureText.h"
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

const Figure Figures[] = {
    {"Capacity", [](const RunComparison::Entry &entry) { return entry.figures.ampHours; },
        [](double value) { return FigureText::withUnit(value, 4, "Ah"); }},
    {"Energy", [](const RunComparison::Entry &entry) { return entry.figures.wattHours; },
        [](double value) { return FigureText::withUnit(value, 3, "Wh"); }},
    {"Duration", [](const RunComparison::Entry &entry) { return entry.figures.seconds; },
        [](double value) { return FigureText::words(value); }},
    {"End V", [](const RunComparison::Entry &entry) { return entry.figures.endVolts; },
        [](double value) { return FigureText::withUnit(value, 3, "V"); }},
    {"Min V", [](const RunComparison::Entry &entry) { return entry.figures.minVolts; },
        [](double value) { return FigureText::withUnit(value, 3, "V"); }},
};

QString percent(double share)
{
    return std::isnan(share) ? QStringLiteral("–") : FigureText::withUnit(100 * share, 1, "%");
}

} // namespace

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
