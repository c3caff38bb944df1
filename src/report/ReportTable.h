#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

class ReportPages;

// A table on a report's pages, from the cursor down onto as many pages as it takes: its header row
// again at the top of every page it goes on to, rows shaded in turn, verdict cells in their
// result's colour, free texts cut short when the page is too narrow for them all.
class ReportTable
{
public:
    struct Column
    {
        QString header;
        // Names and words read from the left, numbers and times from the right.
        bool left = false;
        // A free text that gives way, down to a few letters, when the columns are too wide.
        bool givesWay = false;
        // PASS, FAIL and the like, bold in ReportStyle::resultColor.
        bool verdict = false;
    };

    ReportTable(QList<Column> columns, QList<QStringList> rows);

    // A square of each colour before the first cell of the first rows, one row each.
    void setSwatches(QList<QColor> swatches) { m_swatches = std::move(swatches); }
    // The rows from `row` on are of another kind (a summary under the rows it sums up): a rule
    // above them, their first cell bold and their shading anew.
    void setApartFrom(qsizetype row) { m_apartFrom = row; }

    void draw(ReportPages &pages) const;

private:
    QList<double> columnWidths(ReportPages &pages) const;
    double swatchWidth(ReportPages &pages) const;
    void drawRow(ReportPages &pages, const QList<double> &widths, qsizetype row) const;
    void drawHeader(ReportPages &pages, const QList<double> &widths) const;
    double rowHeight(ReportPages &pages) const;

    QList<Column> m_columns;
    QList<QStringList> m_rows;
    QList<QColor> m_swatches;
    qsizetype m_apartFrom = -1;
};
