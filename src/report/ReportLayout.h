#pragma once

#include "report/ReportStyle.h"

#include <QColor>
#include <QFont>
#include <QString>

class ChartHistory;
class ReportPages;
struct StoredRun;

// What the report shows of a stored run, laid out down its pages: the title and result, the run's
// fields, the chart, the table of steps, then the settings and the program.
class ReportLayout
{
public:
    ReportLayout(ReportPages &pages, const StoredRun &run, const ChartHistory &history)
        : m_pages(pages), m_run(run), m_history(history)
    { }

    void draw();

private:
    void drawTitle();
    void drawFields();
    // A label and its value, wrapped within `width`, at `left` below the cursor; its height.
    double field(double left, double width, const QString &label, const QString &value, const QFont &font,
        const QColor &color = ReportStyle::Text) const;
    void drawChart();
    void drawSteps();
    void drawText(const QString &title, const QString &subtitle, const QString &text);

    ReportPages &m_pages;
    const StoredRun &m_run;
    const ChartHistory &m_history;
};
