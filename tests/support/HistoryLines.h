#pragma once

#include "results/ChartHistory.h"

#include <QStringList>

// A chart history as lines of text, one per column, mark and step opening, every field of each
// written out: two histories compare line by line, and a test that fails names the line.
class HistoryLines
{
public:
    static QStringList of(const ChartHistory &history)
    {
        QStringList lines{QStringLiteral("samples %1, last %2, %3 s per column")
                              .arg(history.sampleCount())
                              .arg(number(history.lastSeconds()), number(history.secondsPerColumn()))};
        for (const ChartHistory::Column &column : history.columns()) {
            QStringList cells{QStringLiteral("column %1").arg(column.index), QString::number(column.samples),
                number(column.firstSeconds), number(column.lastSeconds)};
            for (const ChartHistory::Range *range : {&column.volts, &column.amps, &column.watts, &column.ampHours})
                cells.append(QStringList{number(range->min), number(range->max), number(range->last)}.join(u'/'));
            cells.append(column.opensStep ? QStringLiteral("opens") : QString());
            lines.append(cells.join(u' '));
        }
        for (const ChartHistory::Mark &mark : history.marks())
            lines.append(QStringLiteral("mark %1 step %2 %3 kind %4 %5")
                             .arg(number(mark.seconds), QString::number(mark.step), mark.function,
                                 QString::number(int(mark.kind)), mark.value));
        for (const ChartHistory::StepOpening &opening : history.openings())
            lines.append(QStringLiteral("opening step %1 at %2 after %3 Ah")
                             .arg(opening.step)
                             .arg(number(opening.seconds), number(opening.ampHoursBefore)));
        return lines;
    }

private:
    static QString number(double value) { return QString::number(value, 'g', 17); }
};
