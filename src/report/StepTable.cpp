#include "report/StepTable.h"

#include "report/ReportPages.h"
#include "report/ReportStyle.h"

#include <QFontMetricsF>
#include <algorithm>

namespace {

constexpr double FontPoints = 8;
constexpr int FunctionColumn = 1, VerdictColumn = 5, ValueColumn = 6;
// Names and words read from the left, numbers and times from the right.
constexpr bool LeftAligned[] = {false, true, false, false, true, true, true, false, false, false, false};

// Seconds to a tenth while short; hours, minutes and seconds when the step went on for long.
QString durationText(double seconds)
{
    if (seconds < 600)
        return QString::number(seconds, 'f', 1) + QStringLiteral(" s");
    const qint64 whole = qint64(seconds + 0.5);
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

StepTable::StepTable(const QList<StepRecord> &steps)
    : m_headers{QStringLiteral("No."), QStringLiteral("Function"), QStringLiteral("Start"), QStringLiteral("Duration"),
        QStringLiteral("Ended by"), QStringLiteral("Verdict"), QStringLiteral("Value"), QStringLiteral("Ah"),
        QStringLiteral("Wh"), QStringLiteral("V"), QStringLiteral("A")}
{
    for (const StepRecord &step : steps) {
        m_rows.append({QString::number(step.row), step.function, step.started.toString(QStringLiteral("HH:mm:ss")),
            durationText(step.seconds), stepEndText(step.end), step.verdict ? step.verdict->passText() : QString(),
            step.verdict ? step.verdict->valueText() : QString(), QString::number(step.ampHours, 'f', 4),
            QString::number(step.wattHours, 'f', 4), QString::number(step.volts, 'f', 3),
            QString::number(step.amps, 'f', 3)});
    }
}

QList<double> StepTable::columnWidths(ReportPages &pages) const
{
    const QFontMetricsF plain = pages.metrics(ReportStyle::font(FontPoints));
    const QFontMetricsF bold = pages.metrics(ReportStyle::font(FontPoints, true));
    const double padding = pages.mm(2.4);
    QList<double> widths;
    for (const QString &header : m_headers)
        widths.append(bold.horizontalAdvance(header) + padding);
    for (const QStringList &row : m_rows) {
        for (qsizetype k = 0; k < row.size(); ++k)
            widths[k] = std::max(widths[k], bold.horizontalAdvance(row.at(k)) + padding);
    }
    const double available = pages.body().width();
    double total = 0;
    for (double width : widths)
        total += width;
    if (total > available) {
        // The free texts give way, down to a few letters, and are cut short with an ellipsis.
        double excess = total - available;
        for (int column : {FunctionColumn, ValueColumn}) {
            const double least = plain.horizontalAdvance(QStringLiteral("Wwwwww…")) + padding;
            const double cut = std::min(excess, std::max(0.0, widths[column] - least));
            widths[column] -= cut;
            excess -= cut;
        }
    } else {
        for (double &width : widths)
            width += (available - total) / double(widths.size());
    }
    return widths;
}

void StepTable::drawRow(
    ReportPages &pages, const QList<double> &widths, const QStringList &cells, bool header, bool shaded) const
{
    const QFont font = ReportStyle::font(FontPoints, header);
    const QFontMetricsF metrics = pages.metrics(font);
    const double height = metrics.height() * 1.55;
    const double top = pages.cursor();
    if (header)
        pages.fill(QRectF(pages.body().left(), top, pages.body().width(), height), ReportStyle::HeaderFill);
    else if (shaded)
        pages.fill(QRectF(pages.body().left(), top, pages.body().width(), height), ReportStyle::RowShade);
    const double padding = pages.mm(1.2);
    double left = pages.body().left();
    for (qsizetype k = 0; k < cells.size(); ++k) {
        const QRectF cell(left + padding, top, widths.at(k) - 2 * padding, height);
        const QString text = metrics.elidedText(cells.at(k), Qt::ElideRight, cell.width());
        QFont cellFont = font;
        QColor color = ReportStyle::Text;
        if (!header && k == VerdictColumn && !text.isEmpty()) {
            cellFont.setBold(true);
            color = ReportStyle::resultColor(text);
        }
        pages.text(cell, Qt::AlignVCenter | (LeftAligned[k] ? Qt::AlignLeft : Qt::AlignRight), text, cellFont, color);
        left += widths.at(k);
    }
    if (header)
        pages.rule(top + height, pages.mm(0.3), ReportStyle::Rule);
    pages.advance(height);
}

void StepTable::draw(ReportPages &pages) const
{
    const QList<double> widths = columnWidths(pages);
    const double rowHeight = pages.metrics(ReportStyle::font(FontPoints, true)).height() * 1.55;
    // The header never stands alone at the foot of a page.
    pages.breakFor(rowHeight * 3);
    drawRow(pages, widths, m_headers, true, false);
    for (qsizetype k = 0; k < m_rows.size(); ++k) {
        if (pages.breakFor(rowHeight))
            drawRow(pages, widths, m_headers, true, false);
        drawRow(pages, widths, m_rows.at(k), false, k % 2 == 1);
    }
    pages.rule(pages.cursor(), pages.mm(0.3), ReportStyle::Rule);
}
