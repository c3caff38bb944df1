#include "report/RunReport.h"

#include "model/WholeFile.h"
#include "report/ReportLayout.h"
#include "report/ReportPages.h"
#include "results/ChartHistory.h"
#include "store/RunArchive.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

QString RunReport::write(const RunArchive &archive, const StoredRun &run, const QString &pdfPath)
{
    QString error;
    const std::optional<ChartHistory> chart = archive.chart(
        run, [] { return false; }, &error);
    if (!chart)
        return QStringLiteral("%1: the run's samples cannot be read: %2").arg(pdfPath, error);
    const ChartHistory &history = *chart;

    // Drawn in memory and written whole: a report cut short by a full disk is no report.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(18, 15, 18, 12), QPageLayout::Millimeter);
    writer.setResolution(600);
    writer.setTitle(QStringLiteral("Run report %1").arg(run.uuid));
    writer.setCreator(QStringLiteral("Vornic DC Load Test Program"));

    // The first pass only counts the pages, for every footer's "of N".
    const QString footer = QStringLiteral("Run %1").arg(run.uuid);
    ReportPages counting(writer, nullptr, 0, footer);
    ReportLayout(counting, run, history).draw();

    QPainter painter;
    if (!painter.begin(&writer))
        return QStringLiteral("%1: the PDF cannot be drawn").arg(pdfPath);
    ReportPages pages(writer, &painter, counting.page(), footer);
    ReportLayout(pages, run, history).draw();
    painter.end();

    if (const std::optional<QString> failed = WholeFile::replace(pdfPath, pdf.data(), OutputFile::Dash::StandardOutput))
        return QStringLiteral("%1: %2").arg(pdfPath, *failed);
    return QString();
}
