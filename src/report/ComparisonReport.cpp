#include "report/ComparisonReport.h"

#include "model/WholeFile.h"
#include "report/ComparisonCurves.h"
#include "report/ComparisonLayout.h"
#include "report/ReportPages.h"
#include "store/RunComparison.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

QString ComparisonReport::write(
    const RunComparison &comparison, const OverlayPainter::View &view, const QString &pdfPath)
{
    const ComparisonCurves made(comparison, view.by, view.alignStep);
    const QList<OverlayPainter::Curve> curves = made.painted();

    // Drawn in memory and written whole: a report cut short by a full disk is no report.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    writer.setPageLayout(QPageLayout(
        QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(18, 15, 18, 12), QPageLayout::Millimeter));
    writer.setResolution(600);
    writer.setTitle(QStringLiteral("Run comparison"));
    writer.setCreator(QStringLiteral("Vornic DC Load Test Program"));

    const QString footer = QStringLiteral("Run comparison: %1").arg(ComparisonLayout::whatIsCompared(comparison, view));
    // The first pass only counts the pages, for every footer's "of N".
    ReportPages counting(writer, nullptr, 0, footer);
    ComparisonLayout(counting, comparison, curves, view).draw();

    QPainter painter;
    if (!painter.begin(&writer))
        return QStringLiteral("%1: the PDF cannot be drawn").arg(pdfPath);
    ReportPages pages(writer, &painter, counting.page(), footer);
    ComparisonLayout(pages, comparison, curves, view).draw();
    painter.end();

    if (const std::optional<QString> failed = WholeFile::replace(pdfPath, pdf.data(), OutputFile::Dash::StandardOutput))
        return QStringLiteral("%1: %2").arg(pdfPath, *failed);
    return QString();
}
