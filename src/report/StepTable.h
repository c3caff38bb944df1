#pragma once

#include "report/ReportTable.h"
#include "run/StepRecord.h"

#include <QList>

class ReportPages;

// The table of a run's steps on the report's pages: one row per step that ran, its header row
// again at the top of every page the table goes on to.
class StepTable
{
public:
    explicit StepTable(const QList<StepRecord> &steps);

    // From the pages' cursor down, onto as many pages as it takes.
    void draw(ReportPages &pages) const { m_table.draw(pages); }

private:
    ReportTable m_table;
};
