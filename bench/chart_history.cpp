// The chart's history under a long run: what one sample costs to add, how many columns a redraw
// has to walk, the memory the history holds, and what copying its columns out as min/max points
// of V, I and W (a redraw's work) takes.
//   bench-chart-history [SAMPLES]

#include "results/ChartHistory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QPointF>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// What a redraw copies: two points a column (its minimum and maximum) for each series.
std::array<QList<QPointF>, 3> pointsOf(const ChartHistory &history)
{
    std::array<QList<QPointF>, 3> series;
    for (QList<QPointF> &points : series)
        points.reserve(qsizetype(history.columns().size()) * 2);
    const double width = history.secondsPerColumn();
    for (const ChartHistory::Column &column : history.columns()) {
        const double x = (double(column.index) + 0.5) * width;
        const ChartHistory::Range *ranges[] = {&column.volts, &column.amps, &column.watts};
        for (std::size_t i = 0; i < series.size(); ++i) {
            series[i].append(QPointF(x, ranges[i]->min));
            series[i].append(QPointF(x, ranges[i]->max));
        }
    }
    return series;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 count = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;

    // Made beforehand, so that the time measured is the history's alone.
    std::vector<Sample> samples(std::size_t(std::max<qint64>(count, 0)));
    for (qint64 i = 0; i < count; ++i) {
        // A 100 ms sampling interval: 1,000,000 samples are a run of 27.8 hours.
        Sample &sample = samples[std::size_t(i)];
        sample.elapsedSeconds = double(i) * 0.1;
        sample.volts = 12.6 - double(i) * 1e-6 + std::sin(double(i)) * 0.01;
        sample.amps = 2 + std::cos(double(i) * 0.7) * 0.05;
        sample.watts = sample.volts * sample.amps;
        sample.step = int(i / 36000) + 1;
    }

    ChartHistory history;
    const QString function = QStringLiteral("Discharge");
    int step = 0;
    QElapsedTimer timer;
    timer.start();
    for (const Sample &sample : samples) {
        // A step an hour.
        if (sample.step != step)
            history.stepStarted(step = sample.step, function);
        history.add(sample);
    }
    const qint64 addNs = timer.nsecsElapsed();

    const std::size_t bytes = sizeof(ChartHistory) + history.columns().capacity() * sizeof(ChartHistory::Column)
        + history.marks().capacity() * sizeof(ChartHistory::Mark);
    std::printf("samples            %lld (%.1f h at 100 ms)\n", count, double(count) * 0.1 / 3600);
    std::printf("add                %.1f ns per sample\n", double(addNs) / double(count));
    std::printf("columns            %zu of %d, %.2f s each\n", history.columns().size(), ChartHistory::MaxColumns,
        history.secondsPerColumn());
    std::printf("marks              %zu\n", history.marks().size());
    std::printf("memory             %.1f KiB\n", double(bytes) / 1024);

    constexpr int Copies = 200;
    std::vector<qint64> copies;
    qsizetype points = 0;
    for (int i = 0; i < Copies; ++i) {
        timer.restart();
        const std::array<QList<QPointF>, 3> series = pointsOf(history);
        copies.push_back(timer.nsecsElapsed());
        points = series[0].size() + series[1].size() + series[2].size();
    }
    std::sort(copies.begin(), copies.end());
    std::printf("copy to points     %.1f us median, %.1f us worst of %d (%lld points)\n",
        double(copies[copies.size() / 2]) / 1000, double(copies.back()) / 1000, Copies, qlonglong(points));
    return 0;
}
