// How long the run chart takes to redraw once a day's run is in its history: 864,000 samples at
// 100 ms and then 1,000,000, with step marks, redrawn off screen as the window redraws it.
// Usage: QT_QPA_PLATFORM=offscreen bench-chart-redraw

#include "run/RunEvents.h"
#include "ui/RunChart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <cmath>
#include <cstdio>

namespace {

void feed(ChartHistory &history, qint64 from, qint64 to)
{
    Sample sample;
    for (qint64 i = from; i < to; ++i) {
        if (i % 36000 == 0)
            history.stepStarted(int(i / 36000) + 1, QStringLiteral("Discharge"));
        sample.elapsedSeconds = double(i) * 0.1;
        sample.volts = 12.6 - double(i) * 2e-6 + 0.01 * std::sin(double(i));
        sample.amps = 2.0 + 0.05 * std::cos(double(i) / 7);
        sample.watts = sample.volts * sample.amps;
        history.add(sample);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    RunChart chart;
    chart.resize(900, 300);
    chart.show();
    QApplication::processEvents();
    qint64 fed = 0;
    for (const qint64 samples : {864000LL, 1000000LL}) {
        feed(chart.history(), fed, samples);
        fed = samples;
        constexpr int rounds = 20;
        double refreshUs = 0, paintMs = 0;
        for (int round = 0; round < rounds; ++round) {
            chart.refresh();
            refreshUs += double(chart.lastRefreshMicroseconds());
            QElapsedTimer timer;
            timer.start();
            const QPixmap frame = chart.grab();
            paintMs += double(timer.nsecsElapsed()) / 1e6;
        }
        std::printf("%7lld samples  %4zu columns  refresh %.0f us  paint %.1f ms  (mean of %d)\n",
            static_cast<long long>(samples), chart.history().columns().size(), refreshUs / rounds, paintMs / rounds,
            rounds);
    }
    return 0;
}
