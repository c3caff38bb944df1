#include "model/FunctionCatalog.h"
#include "ui/RunChart.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <QWheelEvent>
#include <cmath>

namespace {

// Where `value` falls on `axis`: 0 at its bottom, 1 at its top.
double heightOn(const QValueAxis *axis, double value) { return (value - axis->min()) / (axis->max() - axis->min()); }

bool isOneTwoFive(double step)
{
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    return std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 || std::abs(mantissa - 5) < 1e-6;
}

// A step of `seconds` at `amps` from a cell that sags from `volts`, sampled every 100 ms.
void addStep(ChartHistory &history, int step, FunctionCatalog::Index function, double seconds, double volts,
    double amps, double peakAmps = 0)
{
    history.stepStarted(step, FunctionCatalog::name(function));
    const double from = history.sampleCount() == 0 ? 0 : history.lastSeconds() + 0.1;
    const int count = int(seconds * 10);
    for (int i = 0; i < count; ++i) {
        Sample sample;
        sample.elapsedSeconds = from + i * 0.1;
        sample.volts = volts - 0.001 * i / 10;
        // A trip test ramps up to its peak over the step.
        sample.amps = peakAmps > 0 ? peakAmps * (i + 1) / count : amps;
        sample.watts = sample.volts * sample.amps;
        sample.step = step;
        history.add(sample);
    }
}

} // namespace

// The run's chart: every line readable whatever came before it, round ticks, panning in time
// only, and a saved picture worth printing.
class TestRunChart : public QObject
{
    Q_OBJECT

    std::unique_ptr<RunChart> m_chart;

    void show()
    {
        m_chart->resize(900, 400);
        m_chart->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_chart.get()));
        m_chart->refresh();
    }

private Q_SLOTS:
    void init() { m_chart = std::make_unique<RunChart>(); }
    void cleanup() { m_chart.reset(); }

    // At constant current, current and power are both steady from their first sample: neither
    // may lie on the plot's edge or on the other, and voltage keeps a height of its own.
    void aConstantCurrentStepKeepsEveryLineInSight()
    {
        addStep(m_chart->history(), 1, FunctionCatalog::Discharge, 300, 12.45, 1.5);
        show();
        const double volts = heightOn(m_chart->axis(RunChart::Axis::Volts), 12.3);
        const double amps = heightOn(m_chart->axis(RunChart::Axis::Amps), 1.5);
        const double watts = heightOn(m_chart->axis(RunChart::Axis::Watts), 12.45 * 1.5);
        for (double height : {volts, amps, watts}) {
            QVERIFY2(height > 0.05 && height < 0.95, qPrintable(QString::number(height)));
        }
        QVERIFY(std::abs(amps - watts) > 0.1);
        QVERIFY(std::abs(amps - volts) > 0.1);
        QVERIFY(std::abs(watts - volts) > 0.05);
        // At rest both levels are zero: each has a zero of its own, above the plot's bottom edge.
        const double ampZero = heightOn(m_chart->axis(RunChart::Axis::Amps), 0);
        const double wattZero = heightOn(m_chart->axis(RunChart::Axis::Watts), 0);
        QVERIFY(ampZero > 0.01 && wattZero > 0.01);
        QVERIFY(std::abs(ampZero - wattZero) > 0.03);
    }

    // After an OCP test tripped at 15.8 A, the 1.5 A discharge that follows still fills the
    // current axis; asked to, the operator sees the peak again, one axis or all of them.
    void anOcpPeakDoesNotFlattenTheStepsAfterIt()
    {
        ChartHistory &history = m_chart->history();
        addStep(history, 1, FunctionCatalog::Discharge, 20, 12.45, 1.5);
        addStep(history, 2, FunctionCatalog::Ocp, 5, 12.40, 0, 15.8);
        history.verdict(2, Verdict{true, QStringLiteral("15.000"), Verdict::Quantity::Amps});
        addStep(history, 3, FunctionCatalog::Discharge, 300, 12.30, 1.5);
        show();
        QValueAxis *amps = m_chart->axis(RunChart::Axis::Amps);
        QVERIFY2(heightOn(amps, 1.5) >= 0.5, qPrintable(QStringLiteral("%1..%2").arg(amps->min()).arg(amps->max())));
        QVERIFY(heightOn(m_chart->axis(RunChart::Axis::Watts), 12.3 * 1.5) >= 0.5);

        m_chart->fitAxis(RunChart::Axis::Amps);
        QVERIFY(amps->max() >= 15.8);
        QVERIFY(m_chart->axis(RunChart::Axis::Watts)->max() < 15.8 * 12.4);
        m_chart->fitAllAxes();
        QVERIFY(m_chart->axis(RunChart::Axis::Watts)->max() >= 15.8 * 12.4 * 0.99);
        m_chart->leaveOutTripPeaks();
        QVERIFY(heightOn(amps, 1.5) >= 0.5);

        // While the test itself runs, its ramp is what the axis shows.
        m_chart->history().clear();
        addStep(m_chart->history(), 1, FunctionCatalog::Discharge, 20, 12.45, 1.5);
        addStep(m_chart->history(), 2, FunctionCatalog::Ocp, 5, 12.40, 0, 15.8);
        m_chart->refresh();
        QVERIFY(amps->max() >= 15.8);
    }

    // Ticks fall on 1, 2 or 5 times a power of ten, before and after a zoom; following, the time
    // axis ends just past the run's last sample.
    void ticksAreRoundAndTheTimeAxisEndsWithTheRun()
    {
        addStep(m_chart->history(), 1, FunctionCatalog::Discharge, 123.4, 12.649, 1.57);
        show();
        QVERIFY(m_chart->timeAxis()->max() < 123.4 * 1.05);
        QVERIFY(m_chart->timeAxis()->max() > 123.3);
        const auto checkTicks = [this] {
            for (const QValueAxis *axis : {m_chart->timeAxis(), m_chart->axis(RunChart::Axis::Volts),
                     m_chart->axis(RunChart::Axis::Amps), m_chart->axis(RunChart::Axis::Watts)}) {
                QCOMPARE(axis->tickType(), QValueAxis::TicksDynamic);
                QVERIFY2(isOneTwoFive(axis->tickInterval()), qPrintable(QString::number(axis->tickInterval())));
                QCOMPARE(axis->tickAnchor(), 0.0);
            }
        };
        checkTicks();
        QWheelEvent wheel(QPointF(300, 200), m_chart->mapToGlobal(QPointF(300, 200)), QPoint(), QPoint(0, 120),
            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_chart->viewport(), &wheel);
        m_chart->refresh();
        QVERIFY(!m_chart->isFollowing());
        checkTicks();
    }

    // From ten seconds to a day in one refresh: at no moment does an axis hold the old step over
    // the new range (a day in 2 s ticks is 43,200 ticks to lay out, seconds of a frozen window).
    void aGrowingRangeNeverHoldsTheOldStep()
    {
        addStep(m_chart->history(), 1, FunctionCatalog::Discharge, 10, 12.45, 1.5);
        show();
        int mostTicks = 0;
        QValueAxis *time = m_chart->timeAxis();
        connect(time, &QValueAxis::rangeChanged, this,
            [&](qreal min, qreal max) { mostTicks = std::max(mostTicks, int((max - min) / time->tickInterval())); });
        Sample late;
        late.elapsedSeconds = 86400;
        late.volts = 12;
        late.amps = 1.5;
        m_chart->history().add(late);
        m_chart->refresh();
        QVERIFY(time->max() >= 86400);
        QVERIFY2(mostTicks <= 100, qPrintable(QString::number(mostTicks)));
    }

    // A right-drag moves the time in view; the value axes stay fitted to the readings, never
    // showing a current or a power below zero that nobody drew.
    void panningMovesTimeOnly()
    {
        addStep(m_chart->history(), 1, FunctionCatalog::Discharge, 300, 12.45, 1.5);
        show();
        QWheelEvent wheel(QPointF(450, 200), m_chart->mapToGlobal(QPointF(450, 200)), QPoint(), QPoint(0, 360),
            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_chart->viewport(), &wheel);
        m_chart->refresh();
        const double timeFrom = m_chart->timeAxis()->min();
        const double ampFloor = m_chart->axis(RunChart::Axis::Amps)->min();
        QWidget *viewport = m_chart->viewport();
        const auto send = [viewport](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::RightButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(viewport, &event);
        };
        send(QEvent::MouseButtonPress, QPointF(400, 100), Qt::RightButton);
        send(QEvent::MouseMove, QPointF(300, 250), Qt::RightButton);
        send(QEvent::MouseButtonRelease, QPointF(300, 250), Qt::NoButton);
        m_chart->refresh();
        QVERIFY(m_chart->timeAxis()->min() > timeFrom + 1);
        QCOMPARE(m_chart->axis(RunChart::Axis::Amps)->min(), ampFloor);
        QVERIFY(heightOn(m_chart->axis(RunChart::Axis::Amps), 0) > 0);
    }

    // Save Chart writes a picture at print size, whatever the chart's size on screen.
    void aSavedChartIsPrintSize()
    {
        addStep(m_chart->history(), 1, FunctionCatalog::Discharge, 60, 12.45, 1.5);
        m_chart->resize(472, 205);
        show();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("chart.png"));
        QCOMPARE(m_chart->saveImage(path), QString());
        const QImage image(path);
        QCOMPARE(image.size(), RunChart::ImageSize);
        // Something is drawn in it: the lines' colours, not only the background.
        int coloured = 0;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                coloured += qBlue(image.pixel(x, y)) > 150 && qRed(image.pixel(x, y)) < 80 ? 1 : 0;
        QVERIFY(coloured > 100);
    }

    // A verdict's mark carries the value's unit.
    void verdictMarksCarryTheirUnit()
    {
        ChartHistory &history = m_chart->history();
        addStep(history, 1, FunctionCatalog::Ocp, 5, 12.4, 0, 15.8);
        history.verdict(1, Verdict{true, QStringLiteral("15.000"), Verdict::Quantity::Amps});
        QCOMPARE(history.marks().back().value, QStringLiteral("15.000 A"));
    }
};

QTEST_MAIN(TestRunChart)
#include "tst_runchart.moc"
