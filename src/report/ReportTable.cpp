#include "report/ReportTable.h"

#include "report/ReportPages.h"
#include "report/ReportStyle.h"

#include <QFontMetricsF>
#include <algorithm>

namespace {

constexpr double FontPoints = 8;
constexpr double RowLines = 1.55;

} // namespace

ReportTable::ReportTable(QList<Column> columns, QList<QStringList> rows)
    : m_columns(std::move(columns)), m_rows(std::move(rows))
{ }

double ReportTable::rowHeight(ReportPages &pages) const
{
    return pages.metrics(ReportStyle::font(FontPoints, true)).height() * RowLines;
}

double ReportTable::swatchWidth(ReportPages &pages) const
{
    return m_swatches.isEmpty() ? 0.0 : pages.metrics(ReportStyle::font(FontPoints)).ascent() + pages.mm(1.5);
}

QList<double> ReportTable::columnWidths(ReportPages &pages) const
{
    const QFontMetricsF plain = pages.metrics(ReportStyle::font(FontPoints));
    const QFontMetricsF bold = pages.metrics(ReportStyle::font(FontPoints, true));
    const double padding = pages.mm(2.4);
    QList<double> widths;
    for (const Column &column : m_columns)
        widths.append(bold.horizontalAdvance(column.header) + padding);
    for (const QStringList &row : m_rows) {
        for (qsizetype k = 0; k < row.size() && k < widths.size(); ++k)
            widths[k] = std::max(widths[k], bold.horizontalAdvance(row.at(k)) + padding);
    }
    if (!widths.isEmpty())
        widths[0] += swatchWidth(pages);
    const double available = pages.body().width();
    double total = 0;
    for (double width : widths)
        total += width;
    if (total > available) {
        double excess = total - available;
        const double least = plain.horizontalAdvance(QStringLiteral("Wwwwww…")) + padding;
        for (qsizetype k = 0; k < m_columns.size() && excess > 0; ++k) {
            if (!m_columns.at(k).givesWay)
                continue;
            const double cut = std::min(excess, std::max(0.0, widths[k] - least));
            widths[k] -= cut;
            excess -= cut;
        }
    } else {
        for (double &width : widths)
            width += (available - total) / double(widths.size());
    }
    return widths;
}

void ReportTable::drawHeader(ReportPages &pages, const QList<double> &widths) const
{
    const QFont font = ReportStyle::font(FontPoints, true);
    const double height = rowHeight(pages);
    const double top = pages.cursor();
    pages.fill(QRectF(pages.body().left(), top, pages.body().width(), height), ReportStyle::HeaderFill);
    const double padding = pages.mm(1.2);
    double left = pages.body().left();
    for (qsizetype k = 0; k < m_columns.size(); ++k) {
        const Column &column = m_columns.at(k);
        const QRectF cell(left + padding, top, widths.at(k) - 2 * padding, height);
        pages.text(cell, Qt::AlignVCenter | (column.left ? Qt::AlignLeft : Qt::AlignRight),
            pages.metrics(font).elidedText(column.header, Qt::ElideRight, cell.width()), font, ReportStyle::Text);
        left += widths.at(k);
    }
    pages.rule(top + height, pages.mm(0.3), ReportStyle::Rule);
    pages.advance(height);
}

void ReportTable::drawRow(ReportPages &pages, const QList<double> &widths, qsizetype row) const
{
    const bool apart = m_apartFrom >= 0 && row >= m_apartFrom;
    const double height = rowHeight(pages);
    const double top = pages.cursor();
    const qsizetype turn = apart ? row - m_apartFrom : row;
    if (turn % 2 == 1)
        pages.fill(QRectF(pages.body().left(), top, pages.body().width(), height), ReportStyle::RowShade);
    if (row == m_apartFrom)
        pages.rule(top, pages.mm(0.3), ReportStyle::Rule);
    const double padding = pages.mm(1.2);
    double left = pages.body().left();
    const QStringList &cells = m_rows.at(row);
    for (qsizetype k = 0; k < cells.size() && k < m_columns.size(); ++k) {
        const Column &column = m_columns.at(k);
        QRectF cell(left + padding, top, widths.at(k) - 2 * padding, height);
        if (k == 0 && row < m_swatches.size()) {
            const double side = pages.metrics(ReportStyle::font(FontPoints)).ascent();
            pages.fill(QRectF(cell.left(), top + (height - side) / 2, side, side), m_swatches.at(row));
        }
        if (k == 0)
            cell.setLeft(cell.left() + swatchWidth(pages));
        QFont font = ReportStyle::font(FontPoints, apart && k == 0);
        const QString text = pages.metrics(font).elidedText(cells.at(k), Qt::ElideRight, cell.width());
        QColor color = ReportStyle::Text;
        if (column.verdict && !text.isEmpty()) {
            font.setBold(true);
            color = ReportStyle::resultColor(text);
        }
        pages.text(cell, Qt::AlignVCenter | (column.left ? Qt::AlignLeft : Qt::AlignRight), text, font, color);
        left += widths.at(k);
    }
    pages.advance(height);
}

void ReportTable::draw(ReportPages &pages) const
{
    const QList<double> widths = columnWidths(pages);
    const double height = rowHeight(pages);
    // The header never stands alone at the foot of a page.
    pages.breakFor(height * 3);
    drawHeader(pages, widths);
    for (qsizetype k = 0; k < m_rows.size(); ++k) {
        if (pages.breakFor(height))
            drawHeader(pages, widths);
        drawRow(pages, widths, k);
    }
    pages.rule(pages.cursor(), pages.mm(0.3), ReportStyle::Rule);
}
