#include "results/ChartHistory.h"
#include "results/ChartHistoryBytes.h"

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

    // A rest, then a discharge whose row runs three passes, the last two with no step start
    // between them as a stored run's samples give them: the run's Ah goes on across passes, and the
    // discharge's first sample opens a column that no merge moves, however long the run grows.
    void stepOpeningsKeepTheirColumn()
    {
        ChartHistory history;
        const auto sample = [&history](double seconds, double stepAmpHours, int step) {
            Sample reading;
            reading.elapsedSeconds = seconds;
            reading.volts = 4 - seconds / 1e6;
            reading.ampHours = stepAmpHours;
            reading.step = step;
            history.add(reading);
        };
        history.stepStarted(1, QStringLiteral("Rest"));
        for (int i = 0; i < 1234; ++i)
            sample(i * 0.1, 0, 1);
        history.stepStarted(2, QStringLiteral("Discharge"));
        history.stepStarted(3, QStringLiteral("For"));
        history.stepStarted(4, QStringLiteral("Discharge"));
        double seconds = 123.4;
        for (int pass = 0; pass < 3; ++pass) {
            if (pass == 1)
                history.stepStarted(4, QStringLiteral("Discharge"));
            for (int i = 1; i <= 100000; ++i)
                sample(seconds += 1, i * 1e-5, 4);
        }
        QCOMPARE(history.openings().size(), std::size_t(4));
        QCOMPARE(history.opening(1)->seconds, 0.0);
        const ChartHistory::StepOpening discharge = *history.opening(4);
        QCOMPARE(discharge.seconds, 124.4);
        QCOMPARE(discharge.ampHoursBefore, 0.0);
        // A row that only jumps opens with the sample after it.
        QCOMPARE(history.opening(2)->seconds, 124.4);
        QVERIFY(!history.opening(5));
        const auto opened = history.columnAt(discharge);
        QVERIFY(opened->opensStep);
        QCOMPARE(opened->firstSeconds, 124.4);
        QCOMPARE(std::prev(opened)->lastSeconds, 123.3);
        QCOMPARE(std::prev(opened)->ampHours.max, 0.0);
        QVERIFY(history.columns().size() <= std::size_t(ChartHistory::MaxColumns + 4));
        QCOMPARE(history.columns().back().ampHours.last, 3.0);
        QVERIFY(std::is_sorted(history.columns().begin(), history.columns().end(),
            [](const ChartHistory::Column &a, const ChartHistory::Column &b) {
                return a.ampHours.max < b.ampHours.min;
            }));
    }

    // What a store keeps reads back as the same history; anything else reads as none, and the
    // samples are read instead.
    void bytesReadBackAsTheSameHistory_data()
    {
        QTest::addColumn<int>("damage");
        QTest::newRow("as written") << 0;
        QTest::newRow("cut short") << 1;
        QTest::newRow("a byte too many") << 2;
        QTest::newRow("a later format") << 3;
        QTest::newRow("not a history") << 4;
        // Read as it is, the count would allocate gigabytes before the bytes ran out.
        QTest::newRow("a column count beyond the bytes") << 5;
    }
    void bytesReadBackAsTheSameHistory()
    {
        QFETCH(int, damage);
        ChartHistory history;
        history.stepStarted(1, QStringLiteral("OCP"));
        for (qint64 i = 0; i < 100000; ++i)
            history.add(sampleAt(i, Timing::Jittered));
        history.verdict(1, {false, QStringLiteral("10.5"), Verdict::Quantity::Amps});
        QByteArray bytes = ChartHistoryBytes::write(history);
        if (damage == 1)
            bytes.chop(1);
        else if (damage == 2)
            bytes.append('\0');
        else if (damage == 3)
            bytes[4] = char(ChartHistoryBytes::Format + 1);
        else if (damage == 4)
            bytes = QByteArrayLiteral("StepNo.,Function\r\n");
        else if (damage == 5)
            bytes.replace(32, 4, QByteArray::fromHex("ffffff00"));
        const std::optional<ChartHistory> read = ChartHistoryBytes::read(bytes);
        QCOMPARE(read.has_value(), damage == 0);
        if (!read)
            return;
        QCOMPARE(read->sampleCount(), history.sampleCount());
        QCOMPARE(read->secondsPerColumn(), history.secondsPerColumn());
        QCOMPARE(read->lastSeconds(), history.lastSeconds());
        QCOMPARE(read->columns().size(), history.columns().size());
        for (std::size_t k = 0; k < history.columns().size(); ++k) {
            QCOMPARE(kept(read->columns()[k]), kept(history.columns()[k]));
            QCOMPARE(read->columns()[k].opensStep, history.columns()[k].opensStep);
        }
        QCOMPARE(read->marks().size(), history.marks().size());
        QCOMPARE(read->marks().back().value, QStringLiteral("10.5 A"));
        QCOMPARE(read->marks().front().function, QStringLiteral("OCP"));
        QCOMPARE(read->opening(1)->seconds, history.opening(1)->seconds);
    }

private:
    // Everything a column keeps that a redraw reads.
    static QList<double> kept(const ChartHistory::Column &column)
    {
        QList<double> values{double(column.index), double(column.samples), column.lastSeconds};
        for (const ChartHistory::Range *range : {&column.volts, &column.amps, &column.watts, &column.ampHours})
            values << range->min << range->max << range->last;
        return values;
    }
};

QTEST_GUILESS_MAIN(TestChartHistory)
#include "tst_charthistory.moc"
