// How long comparing 20 stored runs of 1,000,000 samples each takes: from Compare to the overlay
// painted with every curve, the window's event loop ticked meanwhile (its longest gap says whether
// the window went on answering), then one redraw after a zoom or a pan. The store is made here,
// each run kept with its chart as a station keeps it at the run's end; with --samples-only the
// kept charts are dropped, and each run's chart is gathered from its samples.
// With --server the runs are forwarded to a throwaway PostgreSQL first, and compared from there.
// Usage: QT_QPA_PLATFORM=offscreen bench-compare-runs [RUNS [SAMPLES]] [--samples-only] [--server]
// Prints "runs R  samples N  read_ms S  painted_ms P  longest_gap_ms G" then
// "redraw_us median M  max X  (K redraws)".

#include "FirstPaintWatch.h"
#include "PgCluster.h"
#include "results/ChartHistory.h"
#include "results/ChartHistoryBytes.h"
#include "store/ServerMirror.h"
#include "store/StoreSchema.h"
#include "store/StoreServer.h"
#include "ui/CompareWindow.h"
#include "ui/OverlayChart.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int RestSamples = 6000;

QString uuidOf(int run) { return QStringLiteral("c0c0c0c0-0000-4000-8000-%1").arg(run, 12, 10, QLatin1Char('0')); }

bool failed(const QSqlQuery &query)
{
    std::fprintf(stderr, "%s\n", qPrintable(query.lastError().text()));
    return false;
}

// Ten minutes' rest, then a discharge at 2 A every 100 ms whose cell holds a little more or less
// from run to run.
bool writeRun(QSqlDatabase &db, int run, qint64 samples, bool keepChart)
{
    QSqlQuery query(db);
    const QString uuid = uuidOf(run);
    query.prepare(QStringLiteral("INSERT INTO runs (uuid, program_name, model, station, started, ended, result, "
                                 "message) VALUES (?, 'CELL.TSF', 'DL-300', ?, ?, ?, 'PASS', '')"));
    const QDateTime started(QDate(2026, 11, 1 + run % 28), QTime(8, 0));
    for (const QVariant &value : {QVariant(uuid), QVariant(QStringLiteral("Bench %1").arg(run % 4 + 1)),
             QVariant(started.toString(Qt::ISODateWithMs)),
             QVariant(started.addMSecs(samples * 100).toString(Qt::ISODateWithMs))})
        query.addBindValue(value);
    if (!query.exec())
        return failed(query);
    ChartHistory chart;
    const double capacity = 2 * (samples - RestSamples) * 0.1 / 3600 * (1 + 0.02 * std::sin(run));
    double ampHours = 0, wattHours = 0;
    query.prepare(QStringLiteral("INSERT INTO samples (run_uuid, seq, elapsed_s, v, i, w, ah, wh, step) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    chart.stepStarted(1, QStringLiteral("Rest"));
    for (qint64 i = 0; i < samples; ++i) {
        const bool resting = i < RestSamples;
        if (i == RestSamples)
            chart.stepStarted(2, QStringLiteral("Discharge"));
        const double amps = resting ? 0 : 2.0 + 0.01 * std::cos(double(i) / 7);
        const double depth = std::min(ampHours / capacity, 1.0);
        const double volts
            = 4.15 - 0.6 * depth - 0.5 * std::pow(depth, 12) - (resting ? 0 : 0.05) + 0.002 * std::sin(double(i));
        if (!resting) {
            ampHours += amps * 0.1 / 3600;
            wattHours += amps * volts * 0.1 / 3600;
        }
        Sample sample{double(i) * 0.1, volts, amps, volts * amps, ampHours, wattHours, resting ? 1 : 2};
        chart.add(sample);
        for (const QVariant &value :
            {QVariant(uuid), QVariant(i + 1), QVariant(sample.elapsedSeconds), QVariant(volts), QVariant(amps),
                QVariant(sample.watts), QVariant(ampHours), QVariant(wattHours), QVariant(sample.step)})
            query.addBindValue(value);
        if (!query.exec())
            return failed(query);
    }
    const double restSeconds = RestSamples * 0.1;
    for (int step = 1; step <= 2; ++step) {
        query.prepare(QStringLiteral("INSERT INTO steps (run_uuid, step, function, started, seconds, end_reason, "
                                     "verdict, value, ah, wh) VALUES (?, ?, ?, ?, ?, 'time', '', '', ?, ?)"));
        for (const QVariant &value :
            {QVariant(uuid), QVariant(step), QVariant(step == 1 ? QStringLiteral("Rest") : QStringLiteral("Discharge")),
                QVariant(started.addMSecs(step == 1 ? 0 : qint64(restSeconds * 1000)).toString(Qt::ISODateWithMs)),
                QVariant(step == 1 ? restSeconds : (samples - RestSamples) * 0.1), QVariant(step == 1 ? 0.0 : ampHours),
                QVariant(step == 1 ? 0.0 : wattHours)})
            query.addBindValue(value);
        if (!query.exec())
            return failed(query);
    }
    if (!keepChart)
        return true;
    query.prepare(QStringLiteral("INSERT INTO run_charts (run_uuid, format, chart) VALUES (?, ?, ?)"));
    query.addBindValue(uuid);
    query.addBindValue(ChartHistoryBytes::Format);
    query.addBindValue(ChartHistoryBytes::write(chart));
    return query.exec() || failed(query);
}

bool writeStore(const QString &path, int runs, qint64 samples, bool keepCharts)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
    db.setDatabaseName(path);
    QString error;
    if (!db.open() || StoreSchema::migrate(db, &error) < 0) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(error + db.lastError().text()));
        return false;
    }
    QSqlQuery pragmas(db);
    if (!pragmas.exec(QStringLiteral("PRAGMA journal_mode=WAL"))
        || !pragmas.exec(QStringLiteral("PRAGMA synchronous=OFF")))
        return failed(pragmas);
    for (int run = 0; run < runs; ++run) {
        if (!db.transaction() || !writeRun(db, run, samples, keepCharts) || !db.commit())
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList words = app.arguments().mid(1);
    const bool samplesOnly = words.removeAll(QStringLiteral("--samples-only")) > 0;
    const bool fromServer = words.removeAll(QStringLiteral("--server")) > 0;
    const int runs = words.size() > 0 ? words.at(0).toInt() : 20;
    const qint64 samples = words.size() > 1 ? words.at(1).toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
    QElapsedTimer made;
    made.start();
    const bool written = writeStore(path, runs, samples, !samplesOnly);
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    if (!written)
        return 1;
    std::fprintf(stderr, "store of %d runs of %lld samples made in %.1f s\n", runs, static_cast<long long>(samples),
        double(made.elapsed()) / 1000);

    std::function<RunArchive()> makeArchive = [path] { return RunArchive::local(path); };
    PgCluster cluster;
    if (fromServer) {
        if (!cluster.problem().isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(cluster.problem()));
            return 1;
        }
        const StoreServer server = cluster.server();
        QElapsedTimer forwarded;
        forwarded.start();
        ServerMirror mirror(path, server);
        for (ServerMirror::Outcome outcome = mirror.forwardAll(); outcome.runsWaiting > 0;
             outcome = mirror.forwardAll()) {
            if (!outcome.error.isEmpty()) {
                std::fprintf(stderr, "%s\n", qPrintable(outcome.error));
                return 1;
            }
        }
        std::fprintf(stderr, "forwarded to the server in %.1f s\n", double(forwarded.elapsed()) / 1000);
        makeArchive = [server] { return RunArchive::server(server); };
    }

    QStringList uuids;
    for (int run = 0; run < runs; ++run)
        uuids.append(uuidOf(run));
    QElapsedTimer opening;
    opening.start();
    qint64 readNs = 0, longestGapNs = 0, lastTickNs = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGapNs = std::max(longestGapNs, opening.nsecsElapsed() - lastTickNs);
        lastTickNs = opening.nsecsElapsed();
    });
    tick.start();
    CompareWindow window(
        makeArchive, fromServer ? QStringLiteral("server") : QStringLiteral("bench"), uuids, dir.path());
    window.resize(1600, 1000);
    window.show();
    std::unique_ptr<FirstPaintWatch> painted;
    QObject::connect(&window, &CompareWindow::runsRead, [&] {
        readNs = opening.nsecsElapsed();
        if (window.comparison().entries().size() != runs) {
            std::fprintf(stderr, "%s\n", qPrintable(window.statusText()));
            QCoreApplication::exit(1);
            return;
        }
        painted = std::make_unique<FirstPaintWatch>(window.chart(), [&] {
            tick.stop();
            std::printf("runs %d  samples %lld  read_ms %.0f  painted_ms %.0f  longest_gap_ms %.1f\n", runs,
                static_cast<long long>(samples), double(readNs) / 1e6, double(opening.nsecsElapsed()) / 1e6,
                double(longestGapNs) / 1e6);
            // Zooms and pans as a hand would, each redrawn at once.
            OverlayChart *chart = window.chart();
            window.byBox()->setCurrentIndex(1);
            window.alignBox()->setValue(2);
            std::vector<qint64> redraws;
            const auto [from, to] = chart->span();
            for (int k = 0; k < 60; ++k) {
                const double width = (to - from) * std::pow(0.8, k % 20);
                const double start = from + (to - from - width) * (k % 7) / 6.0;
                chart->zoomTo(start, start + width);
                QElapsedTimer redraw;
                redraw.start();
                chart->repaint();
                redraws.push_back(redraw.nsecsElapsed() / 1000);
            }
            std::sort(redraws.begin(), redraws.end());
            std::printf("redraw_us median %lld  max %lld  (%zu redraws, %dx%d)\n",
                static_cast<long long>(redraws[redraws.size() / 2]), static_cast<long long>(redraws.back()),
                redraws.size(), chart->width(), chart->height());
            QCoreApplication::quit();
        });
    });
    return QApplication::exec();
}
