#include "results/OverlayCurve.h"

#include <QTest>
#include <cmath>
#include <map>

namespace {

// Repeatable values in [0, 1) whose extremes fall on single samples anywhere.
double noise(double x)
{
    const double value = std::sin(x * 12.9898) * 43758.5453;
    return value - std::floor(value);
}

struct Run
{
    std::vector<Sample> samples;
    ChartHistory history;
};

// A 10-minute rest at 4.2 V, then a discharge at 2 A with noise and single-sample dips and spikes,
// sampled every 100 ms: step 1, then step 2.
Run discharge(int samples)
{
    Run run;
    run.history.stepStarted(1, QStringLiteral("Rest"));
    for (int i = 0; i < samples; ++i) {
        Sample sample;
        sample.elapsedSeconds = i * 0.1;
        sample.step = i < 6000 ? 1 : 2;
        if (i == 6000)
            run.history.stepStarted(2, QStringLiteral("Discharge"));
        const double since = (i - 6000) * 0.1;
        sample.volts = sample.step == 1 ? 4.2 : 4.0 - since / 1e5 + 0.01 * noise(i);
        if (sample.step == 2 && i % 7919 == 0)
            sample.volts += (i % 2 ? 0.3 : -0.3);
        sample.amps = sample.step == 1 ? 0 : 2 + 0.05 * noise(i + 0.5);
        sample.ampHours = sample.step == 1 ? 0 : 2 * since / 3600;
        run.samples.push_back(sample);
        run.history.add(sample);
    }
    return run;
}

} // namespace

Q_DECLARE_METATYPE(OverlayCurve::By)

class TestOverlayCurve : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Laid over others by time or by capacity, from the run's start or from its discharge, at any
    // number of display columns: every display column shows exactly the lowest and highest reading
    // of the samples whose column falls in it, and no more points than two per display column.
    void everyDisplayColumnKeepsItsExtremes_data()
    {
        QTest::addColumn<OverlayCurve::By>("by");
        QTest::addColumn<bool>("aligned");
        QTest::addColumn<int>("displayColumns");
        for (const int columns : {40, 700, 5000}) {
            QTest::addRow("by time, %d columns", columns) << OverlayCurve::By::Seconds << false << columns;
            QTest::addRow("by time from step 2, %d columns", columns) << OverlayCurve::By::Seconds << true << columns;
            QTest::addRow("by Ah from step 2, %d columns", columns) << OverlayCurve::By::AmpHours << true << columns;
        }
    }
    void everyDisplayColumnKeepsItsExtremes()
    {
        QFETCH(OverlayCurve::By, by);
        QFETCH(bool, aligned);
        QFETCH(int, displayColumns);
        const Run run = discharge(400000);
        const std::optional<OverlayCurve> curve
            = OverlayCurve::make(run.history, by, aligned ? std::optional<int>(2) : std::nullopt);
        QVERIFY(curve);
        const double from = 0, to = curve->lastX();
        const double width = (to - from) / displayColumns;
        const std::vector<ChartHistory::Column> &columns = run.history.columns();
        const auto first = aligned ? run.history.columnAt(*run.history.opening(2)) : columns.begin();
        QCOMPARE(curve->points().size(), std::size_t(columns.end() - first));

        // Each sample belongs to the column its time falls in, and shows where that column is drawn.
        std::map<qint64, std::pair<double, double>> truth;
        for (const Sample &sample : run.samples) {
            const auto column = std::partition_point(first, columns.end(),
                [&sample](const ChartHistory::Column &column) { return column.lastSeconds < sample.elapsedSeconds; });
            if (column == columns.end() || column->firstSeconds > sample.elapsedSeconds)
                continue;
            const double x = curve->points().at(std::size_t(column - first)).x;
            auto [at, fresh] = truth.try_emplace(qint64(std::floor((x - from) / width)), sample.volts, sample.volts);
            at->second = {std::min(at->second.first, sample.volts), std::max(at->second.second, sample.volts)};
        }
        const QList<QPointF> points = curve->envelope(&OverlayCurve::Point::volts, from, to, displayColumns);
        QVERIFY(points.size() <= 2 * displayColumns + 4);
        std::map<qint64, std::pair<double, double>> shown;
        for (const QPointF &point : points) {
            auto [at, fresh] = shown.try_emplace(qint64(std::floor((point.x() - from) / width)), point.y(), point.y());
            at->second = {std::min(at->second.first, point.y()), std::max(at->second.second, point.y())};
        }
        QCOMPARE(shown, truth);
    }

    // Aligned at the discharge, the curve starts at its first sample: the rest before it is not
    // drawn, and by capacity it starts from no Ah.
    void alignedCurvesStartAtTheirStep()
    {
        const Run run = discharge(100000);
        const std::optional<OverlayCurve> byAh = OverlayCurve::make(run.history, OverlayCurve::By::AmpHours, 2);
        QVERIFY(byAh);
        // Each x is its column's middle: within a column's width (about 5 mAh here) of the ends.
        QVERIFY(byAh->points().front().x >= 0);
        QVERIFY(byAh->points().front().x < 0.005);
        QVERIFY(std::abs(byAh->lastX() - 2 * (99999 - 6000) * 0.1 / 3600) < 0.005);
        QVERIFY(byAh->points().front().volts.max < 4.1);
        const std::optional<OverlayCurve> whole = OverlayCurve::make(run.history, OverlayCurve::By::Seconds, {});
        QCOMPARE(whole->points().front().volts.max, 4.2);
        QVERIFY(!OverlayCurve::make(run.history, OverlayCurve::By::Seconds, 3));
    }
};

QTEST_GUILESS_MAIN(TestOverlayCurve)
#include "tst_overlaycurve.moc"
