#include "results/ChartHistory.h"

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

enum class Timing { Regular, Jittered, LongGap, Backwards };

Sample sampleAt(qint64 i, Timing timing)
{
    Sample sample;
    double seconds = double(i) * 0.1;
    if (timing == Timing::Jittered)
        seconds += noise(double(i) + 0.5) * 0.09;
    else if (timing == Timing::LongGap && i >= 500000)
        seconds += 1e6;
    else if (timing == Timing::Backwards && i % 1000 == 999)
        seconds -= 50;
    sample.elapsedSeconds = seconds;
    sample.volts = 12 + noise(double(i));
    sample.amps = -noise(double(i) + 0.25);
    sample.watts = sample.volts * sample.amps;
    return sample;
}

} // namespace

Q_DECLARE_METATYPE(Timing)

class TestChartHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A million samples: every display column holds exactly the extremes and the last value of
    // the samples that fall in its time, the columns stay bounded, and no more merges happen than
    // the run's length needs (each merge is one pass over at most MaxColumns).
    void decimationKeepsEveryExtreme_data()
    {
        QTest::addColumn<Timing>("timing");
        QTest::newRow("every 100 ms") << Timing::Regular;
        QTest::newRow("jittered") << Timing::Jittered;
        QTest::newRow("a gap of 11 days") << Timing::LongGap;
        // Never expected of the run's clock; such a sample counts at the last time seen.
        QTest::newRow("time running backwards") << Timing::Backwards;
    }
    void decimationKeepsEveryExtreme()
    {
        QFETCH(Timing, timing);
        constexpr qint64 Count = 1000000;
        ChartHistory history;
        for (qint64 i = 0; i < Count; ++i)
            history.add(sampleAt(i, timing));
        // What an add costs is bench-chart-history's; that the history stays bounded is checked here.
        const double width = history.secondsPerColumn();
        QVERIFY(history.lastSeconds() / width < ChartHistory::MaxColumns);
        QVERIFY(history.lastSeconds() / (width / 2) >= ChartHistory::MaxColumns);
        QCOMPARE(history.sampleCount(), Count);

        // The truth, from the samples again, at the width the columns ended with.
        std::map<qint64, ChartHistory::Column> truth;
        double latest = 0;
        for (qint64 i = 0; i < Count; ++i) {
            const Sample sample = sampleAt(i, timing);
            latest = std::max(latest, sample.elapsedSeconds);
            const auto [at, fresh] = truth.try_emplace(qint64(std::floor(latest / width)));
            ChartHistory::Column &column = at->second;
            column.index = at->first;
            column.lastSeconds = latest;
            ++column.samples;
            for (auto [range, value] :
                {std::pair{&column.volts, sample.volts}, {&column.amps, sample.amps}, {&column.watts, sample.watts}})
                *range
                    = {fresh ? value : std::min(range->min, value), fresh ? value : std::max(range->max, value), value};
        }
        QCOMPARE(history.lastSeconds(), latest);
        QCOMPARE(history.columns().size(), truth.size());
        auto expected = truth.begin();
        for (const ChartHistory::Column &column : history.columns())
            QCOMPARE(kept(column), kept((expected++)->second));
    }

    void marks()
    {
        ChartHistory history;
        history.add(sampleAt(0, Timing::Regular));
        history.stepStarted(1, QStringLiteral("OCP"));
        history.add(sampleAt(3, Timing::Regular));
        history.add(sampleAt(4, Timing::Regular));
        history.verdict(1, {false, QStringLiteral("10.5"), Verdict::Quantity::Amps});
        for (int step = 2; step < ChartHistory::MaxMarks; ++step)
            history.verdict(step, {true, QString(), Verdict::Quantity::Amps});
        QCOMPARE(history.marks().size(), std::size_t(ChartHistory::MaxMarks));
        const ChartHistory::Mark &start = history.marks().front();
        const ChartHistory::Mark &fail = history.marks().at(1);
        QCOMPARE(start.seconds, sampleAt(3, Timing::Regular).elapsedSeconds);
        QCOMPARE(fail.seconds, sampleAt(4, Timing::Regular).elapsedSeconds);
        QCOMPARE(fail.kind, ChartHistory::Mark::Kind::Fail);
        // One more: the step's start, the oldest, goes first.
        history.verdict(0, {true, QString(), Verdict::Quantity::Amps});
        QCOMPARE(history.marks().front().value, QStringLiteral("10.5 A"));
        QCOMPARE(history.marks().size(), std::size_t(ChartHistory::MaxMarks));
    }

private:
    // Everything a column keeps that a redraw reads.
    static QList<double> kept(const ChartHistory::Column &column)
    {
        QList<double> values{double(column.index), double(column.samples), column.lastSeconds};
        for (const ChartHistory::Range *range : {&column.volts, &column.amps, &column.watts})
            values << range->min << range->max << range->last;
        return values;
    }
};

QTEST_GUILESS_MAIN(TestChartHistory)
#include "tst_charthistory.moc"
