#pragma once

#include "run/StepRecord.h"

#include <QList>
#include <QStringList>

class ReportPages;

// The table of a run's steps on the report's pages: one row per step that ran, its header row
// again at the top of every page the table goes on to.
class StepTable
{
public:
    explicit StepTable(const QList<StepRecord> &steps);

    // From the pages' cursor down, onto as many pages as it takes.
    void draw(ReportPages &pages) const;

private:
    QList<double> columnWidths(ReportPages &pages) const;
    void drawRow(
        ReportPages &pages, const QList<double> &widths, const QStringList &cells, bool header, bool shaded) const;

    QStringList m_headers;
    QList<QStringList> m_rows;
};
