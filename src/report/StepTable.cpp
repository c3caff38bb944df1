#include "report/StepTable.h"

#include "model/FigureText.h"

namespace {

// Seconds to a tenth while short; hours, minutes and seconds when the step went on for long.
QString durationText(double seconds)
{
    if (seconds < 600)
        return QString::number(seconds, 'f', 1) + QStringLiteral(" s");
    return FigureText::clock(qint64(seconds + 0.5));
}

QList<ReportTable::Column> columns()
{
    const auto number = [](const char *header) { return ReportTable::Column{QLatin1String(header)}; };
    return {number("No."), {QStringLiteral("Function"), true, true}, number("Start"), number("Duration"),
        {QStringLiteral("Ended by"), true}, {QStringLiteral("Verdict"), true, false, true},
        {QStringLiteral("Value"), true, true}, number("Ah"), number("Wh"), number("V"), number("A")};
}

QList<QStringList> rows(const QList<StepRecord> &steps)
{
    QList<QStringList> rows;
    for (const StepRecord &step : steps) {
        rows.append({QString::number(step.row), step.function, step.started.toString(QStringLiteral("HH:mm:ss")),
            durationText(step.seconds), stepEndText(step.end), step.verdict ? step.verdict->passText() : QString(),
            step.verdict ? step.verdict->valueText() : QString(), QString::number(step.ampHours, 'f', 4),
            QString::number(step.wattHours, 'f', 4), QString::number(step.volts, 'f', 3),
            QString::number(step.amps, 'f', 3)});
    }
    return rows;
}

} // namespace

StepTable::StepTable(const QList<StepRecord> &steps) : m_table(columns(), rows(steps)) { }
