// How long the Runs window takes to open a stored run of 1,000,000 samples (a day at 100 ms): from
// the row selected to the chart painted with it, read from a store file made here, on whatever
// platform QT_QPA_PLATFORM names (the benchmark runs it offscreen). The window's event loop is
// ticked meanwhile: its longest gap tells whether the window went on answering.
// With "kept", the store also holds the run's chart as the run store keeps it at a run's end, and
// the window draws that instead of reading the samples.
// Usage: QT_QPA_PLATFORM=offscreen bench-open-run [SAMPLES] [kept]
// Prints "samples N  shown_ms S  painted_ms P  longest_gap_ms G".

#include "FirstPaintWatch.h"
#include "results/ChartHistoryBytes.h"
#include "store/RunArchive.h"
#include "store/StoreSchema.h"
#include "ui/RunChart.h"
#include "ui/RunsWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>

namespace {

constexpr int Steps = 10;
const QString Uuid = QStringLiteral("0b3e2f6a-0000-4000-8000-000000000001");

bool exec(QSqlQuery &query, const QString &sql)
{
    if (query.exec(sql))
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(query.lastError().text()));
    return false;
}

// One run of `samples` samples at 100 ms over ten Discharge steps, each with a verdict.
bool writeStore(const QString &path, qint64 samples)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
    db.setDatabaseName(path);
    QString error;
    if (!db.open() || StoreSchema::migrate(db, &error) < 0) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(error + db.lastError().text()));
        return false;
    }
    QSqlQuery query(db);
    if (!exec(query, QStringLiteral("PRAGMA journal_mode=WAL"))
        || !exec(query, QStringLiteral("PRAGMA synchronous=OFF")) || !db.transaction())
        return false;
    const bool head = exec(query,
        QStringLiteral("INSERT INTO runs (uuid, program_name, model, station, started, ended, result, message) "
                       "VALUES ('%1', 'DAY.TSF', 'DL-300', 'bench', '2026-12-01T08:00:00.000', "
                       "'2026-12-02T11:46:40.000', 'PASS', '')")
            .arg(Uuid));
    if (!head)
        return false;
    for (int step = 1; step <= Steps; ++step) {
        if (!exec(query,
                QStringLiteral("INSERT INTO steps (run_uuid, step, function, started, seconds, end_reason, verdict, "
                               "value) VALUES ('%1', %2, 'Discharge', '2026-12-01T08:00:00.000', 0, 'time', 'PASS', "
                               "'12.0V')")
                    .arg(Uuid)
                    .arg(step)))
            return false;
    }
    query.prepare(QStringLiteral("INSERT INTO samples (run_uuid, seq, elapsed_s, v, i, w, ah, wh, step) "
                                 "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (qint64 i = 0; i < samples; ++i) {
        const double volts = 12.6 - double(i) * 2e-6 + 0.01 * std::sin(double(i));
        const double amps = 2.0 + 0.05 * std::cos(double(i) / 7);
        for (const QVariant &value : {QVariant(Uuid), QVariant(i + 1), QVariant(double(i) * 0.1), QVariant(volts),
                 QVariant(amps), QVariant(volts * amps), QVariant(double(i) * 5.6e-5), QVariant(double(i) * 7e-4),
                 QVariant(int(i * Steps / samples) + 1)})
            query.addBindValue(value);
        if (!query.exec()) {
            std::fprintf(stderr, "sample %lld: %s\n", static_cast<long long>(i), qPrintable(query.lastError().text()));
            return false;
        }
    }
    return db.commit();
}

// The run's chart gathered from its samples, kept as the run store keeps it at a run's end.
bool keepChart(const QString &path)
{
    RunArchive archive = RunArchive::local(path);
    QString error;
    std::optional<StoredRun> run;
    std::optional<ChartHistory> history;
    if (archive.open(&error) && (run = archive.run(Uuid, &error)))
        history = archive.chart(
            *run, [] { return false; }, &error);
    bool kept = false;
    if (history) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("keep"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        query.prepare(QStringLiteral("INSERT INTO run_charts VALUES (?, ?, ?)"));
        for (const QVariant &value :
            {QVariant(Uuid), QVariant(ChartHistoryBytes::Format), QVariant(ChartHistoryBytes::write(*history))})
            query.addBindValue(value);
        kept = query.exec();
        error = db.lastError().text() + query.lastError().text();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("keep"));
    if (!kept)
        std::fprintf(stderr, "the chart cannot be kept: %s\n", qPrintable(error));
    return kept;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const qint64 samples = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("VORN.INI")));
    if (!ini.open(QIODevice::WriteOnly) || ini.write("[System]\r\nMeasureTime=100\r\n") < 0)
        return 1;
    ini.close();
    QElapsedTimer made;
    made.start();
    const bool written = writeStore(dir.filePath(QStringLiteral("runs.sqlite")), samples);
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    if (!written
        || (argc > 2 && QByteArray(argv[2]) == "kept" && !keepChart(dir.filePath(QStringLiteral("runs.sqlite")))))
        return 1;
    std::fprintf(stderr, "store of %lld samples made in %.1f s\n", static_cast<long long>(samples),
        double(made.elapsed()) / 1000);

    RunsWindow window(ini.fileName());
    window.show();
    QElapsedTimer opening;
    qint64 shownNs = 0, longestGapNs = 0, lastTickNs = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGapNs = std::max(longestGapNs, opening.nsecsElapsed() - lastTickNs);
        lastTickNs = opening.nsecsElapsed();
    });
    std::unique_ptr<FirstPaintWatch> painted;
    QObject::connect(&window, &RunsWindow::runShown, [&] {
        shownNs = opening.nsecsElapsed();
        painted = std::make_unique<FirstPaintWatch>(window.chart()->viewport(), [&] {
            std::printf("samples %lld  shown_ms %.0f  painted_ms %.0f  longest_gap_ms %.1f\n",
                static_cast<long long>(window.chart()->history().sampleCount()), double(shownNs) / 1e6,
                double(opening.nsecsElapsed()) / 1e6, double(longestGapNs) / 1e6);
            QCoreApplication::quit();
        });
    });
    QObject::connect(&window, &RunsWindow::listShown, [&] {
        if (window.shownUuids() != QStringList{Uuid}) {
            std::fprintf(stderr, "the run is not listed: %s\n", qPrintable(window.statusText()));
            QCoreApplication::exit(1);
            return;
        }
        opening.start();
        tick.start();
        window.table()->selectRow(0);
    });
    return QApplication::exec();
}
