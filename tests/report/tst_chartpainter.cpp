#include "model/FunctionCatalog.h"
#include "report/ChartPainter.h"
#include "results/ChartHistory.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

void addStep(ChartHistory &history, int step, FunctionCatalog::Index function, double seconds, double amps, double peak)
{
    history.stepStarted(step, FunctionCatalog::name(function));
    const double from = history.sampleCount() == 0 ? 0 : history.lastSeconds() + 1;
    for (int i = 0; i < int(seconds); ++i) {
        Sample sample;
        sample.elapsedSeconds = from + i;
        sample.volts = 12.4 - 0.001 * i;
        sample.amps = peak > 0 ? peak * (i + 1) / seconds : amps;
        sample.watts = sample.volts * sample.amps;
        history.add(sample);
    }
}

// The rows of `x` where the current's line is drawn, as fractions of the image's height from the
// bottom.
QList<double> currentHeightsAt(const QImage &image, int x)
{
    QList<double> heights;
    for (int y = 0; y < image.height(); ++y)
        // Orange, however the line's edge is blended: neither the voltage's blue nor the power's green.
        if (const QRgb pixel = image.pixel(x, y); qRed(pixel) > qGreen(pixel) + 60 && qRed(pixel) > qBlue(pixel) + 60)
            heights.append(1.0 - double(y) / image.height());
    return heights;
}

} // namespace

// The report's chart: a trip test's peak is shown clipped once the test is over, so that the
// steps after it can still be read; its verdict gives the value.
class TestChartPainter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aTripPeakLeavesTheLaterStepsReadable()
    {
        ChartHistory history;
        addStep(history, 1, FunctionCatalog::Discharge, 60, 1.5, 0);
        addStep(history, 2, FunctionCatalog::Ocp, 10, 0, 15.8);
        history.verdict(2, Verdict{true, QStringLiteral("15.000"), Verdict::Quantity::Amps});
        addStep(history, 3, FunctionCatalog::Discharge, 300, 1.5, 0);
        QImage image(1200, 600, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing, false);
            ChartPainter(history).paint(painter, QRectF(0, 0, 1200, 600));
        }
        // Two thirds along the time axis: the last discharge at 1.5 A.
        const QList<double> heights = currentHeightsAt(image, 800);
        QVERIFY(!heights.isEmpty());
        for (double height : heights)
            QVERIFY2(height > 0.4, qPrintable(QString::number(height)));
    }
};

QTEST_MAIN(TestChartPainter)
#include "tst_chartpainter.moc"
