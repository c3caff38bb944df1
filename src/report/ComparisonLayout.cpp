#include "report/ComparisonLayout.h"

#include "report/ReportPages.h"
#include "report/ReportStyle.h"
#include "report/ReportTable.h"
#include "report/RunColours.h"
#include "store/RunComparison.h"
#include "store/RunComparisonTable.h"

#include <QPainter>

namespace {

constexpr double ChartPoints = 7;
// The figures' columns that read from the left and those that give way when the page is narrow;
// the rest are numbers.
const QStringList WordColumns{QStringLiteral("#"), QStringLiteral("Station"), QStringLiteral("Program"),
    QStringLiteral("Started"), QStringLiteral("Result"), QStringLiteral("Ending"), QStringLiteral("Verdicts"),
    QStringLiteral("Health")};
const QStringList FreeColumns{
    QStringLiteral("Station"), QStringLiteral("Program"), QStringLiteral("Ending"), QStringLiteral("Verdicts")};

} // namespace

QString ComparisonLayout::whatIsCompared(const RunComparison &comparison, const OverlayPainter::View &view)
{
    const qsizetype count = comparison.entries().size();
    QStringList parts{
        QStringLiteral("%1 %2 by %3")
            .arg(count)
            .arg(count == 1 ? QStringLiteral("run") : QStringLiteral("runs"))
            .arg(view.by == OverlayCurve::By::Seconds ? QStringLiteral("time") : QStringLiteral("Ah drawn"))};
    parts.append(view.alignStep ? QStringLiteral("aligned at step %1").arg(*view.alignStep)
                                : QStringLiteral("each from its start"));
    if (const std::optional<double> nominal = comparison.nominal()) {
        parts.append(
            QStringLiteral("nominal capacity %1 Ah, healthy from %2 %")
                .arg(QString::number(*nominal, 'g', 6), QString::number(100 * comparison.threshold(), 'g', 6)));
    }
    return parts.join(QStringLiteral(", "));
}

void ComparisonLayout::draw()
{
    drawTitle();
    drawOverlay();
    drawFigures();
    drawRuns();
}

void ComparisonLayout::drawTitle()
{
    m_pages.title(QStringLiteral("Run comparison"));
    const QFont font = ReportStyle::font(10);
    const double height = m_pages.metrics(font).height();
    m_pages.text(QRectF(m_pages.body().left(), m_pages.cursor(), m_pages.body().width(), height),
        Qt::AlignLeft | Qt::AlignVCenter, whatIsCompared(m_comparison, m_view), font, ReportStyle::Text);
    m_pages.advance(height + m_pages.mm(3));
}

// The curves take the rest of the first page: the tables start on the next.
void ComparisonLayout::drawOverlay()
{
    const QRectF area(m_pages.body().left(), m_pages.cursor(), m_pages.body().width(), m_pages.remaining());
    if (QPainter *painter = m_pages.painter()) {
        painter->setFont(ReportStyle::font(ChartPoints));
        OverlayPainter(m_curves, m_view).paint(*painter, area);
    }
    m_pages.newPage();
}

QList<QColor> ComparisonLayout::swatches() const
{
    QList<QColor> colours;
    for (qsizetype k = 0; k < m_comparison.entries().size(); ++k)
        colours.append(RunColours::of(k));
    return colours;
}

void ComparisonLayout::drawFigures()
{
    m_pages.heading(QStringLiteral("Figures"));
    const RunComparisonTable figures(m_comparison);
    QList<ReportTable::Column> columns;
    for (qsizetype k = 0; k < figures.headers().size(); ++k) {
        const QString &header = figures.headers().at(k);
        columns.append({header, WordColumns.contains(header), FreeColumns.contains(header),
            k == figures.resultColumn() || k == figures.healthColumn()});
    }
    ReportTable table(columns, figures.rows());
    table.setSwatches(swatches());
    table.setApartFrom(figures.runRows());
    table.draw(m_pages);
}

void ComparisonLayout::drawRuns()
{
    m_pages.heading(QStringLiteral("Runs"));
    QList<QStringList> rows;
    for (const RunComparison::Entry &entry : m_comparison.entries()) {
        const StoredRun &run = entry.run;
        rows.append({QString::number(rows.size() + 1), run.uuid, run.station, run.programName,
            run.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), run.resultText()});
    }
    ReportTable table({{QStringLiteral("#"), true}, {QStringLiteral("Run UUID"), true},
                          {QStringLiteral("Station"), true, true}, {QStringLiteral("Program"), true, true},
                          {QStringLiteral("Started"), true}, {QStringLiteral("Result"), true, false, true}},
        rows);
    table.setSwatches(swatches());
    table.draw(m_pages);
}
