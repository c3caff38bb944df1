#include "HistoryLines.h"
#include "ProcessEnd.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "TinyDisk.h"
#include "results/ChartHistoryBytes.h"
#include "store/RunArchive.h"
#include "store/StoreSchema.h"
#include "store/StoredRunChart.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

// The CSV log's data rows, the header line left out.
QList<QList<QByteArray>> csvRows(const QString &path)
{
    QList<QByteArray> lines = TestFiles::readBytes(path).split('\n');
    lines.removeLast();
    QList<QList<QByteArray>> rows;
    for (qsizetype i = 1; i < lines.size(); ++i)
        rows.append(lines.at(i).trimmed().split(','));
    return rows;
}

// Where row n of the log and sample n of the store differ; "" when the first `count` agree.
QString disagreement(QSqlDatabase &db, const QList<QList<QByteArray>> &rows, qsizetype count)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT seq, v, i, w, ah, wh FROM samples ORDER BY seq")))
        return QStringLiteral("no samples");
    for (qsizetype n = 0; n < count; ++n) {
        if (!query.next())
            return QStringLiteral("the store ends before row %1").arg(n + 1);
        if (query.value(0).toLongLong() != n + 1)
            return QStringLiteral("sample %1 where row %2 is").arg(query.value(0).toLongLong()).arg(n + 1);
        // V, I, W, AH, WH are the CSV's third to seventh columns.
        for (int column = 0; column < 5; ++column) {
            if (query.value(column + 1).toDouble() != rows.at(n).at(2 + column).toDouble())
                return QStringLiteral("row %1, column %2").arg(n + 1).arg(column + 3);
        }
    }
    return QString();
}

} // namespace

// vornic-run against the virtual load: the store beside the settings file holds the CSV log's
// rows, one sample for each, with the same numbers and values.
class TestStoreEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Killed outright mid-step: whatever rows the log holds, the store holds too.
    void killedRunLosesNoSample()
    {
        QTemporaryDir dir;
        SimProcess sim({"--tcp", "0", "--source", "supply", "--speed", "10"});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(sim.port(QStringLiteral("load")), QStringLiteral("50")));
        const QString program = dir.filePath(QStringLiteral("long.TSF"));
        TestFiles::writeBytes(
            program, TestFiles::crlfLines({"header", "1,Discharge,CC,2,0,600,0,,,,,,,,,,,,,,,,,,,,,,,,0,0"}));
        const QString csv = dir.filePath(QStringLiteral("run.CSV"));

        QProcess runner;
        runner.start(TestFiles::binary("vornic-run"), {"--settings", ini, "--log", csv, program});
        QVERIFY(runner.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(TestFiles::readBytes(csv).count('\n') > 40, 30000);
        QVERIFY(signalRunning(runner, SIGKILL));
        QVERIFY(waitForEnd(runner));
        QCOMPARE(runner.exitStatus(), QProcess::CrashExit);

        // Rows are written whole, and each only once its sample was committed.
        const QList<QList<QByteArray>> rows = csvRows(csv);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("killed"));
        db.setDatabaseName(dir.filePath(QStringLiteral("runs.sqlite")));
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("SELECT COUNT(*), (SELECT COUNT(*) FROM runs) FROM samples") && query.next());
        const qsizetype stored = query.value(0).toLongLong();
        qInfo("%lld rows in the log, %lld samples in the store", qlonglong(rows.size()), qlonglong(stored));
        QVERIFY2(stored >= rows.size(), qPrintable(QStringLiteral("%1 %2").arg(stored).arg(rows.size())));
        QCOMPARE(query.value(1).toInt(), 1);
        const QString differs = disagreement(db, rows, rows.size());
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
    }

    // A bench file a later program brought up and no longer lets this one write: the runner says so
    // loudly and where the run is, and never that it waits to be sent.
    void aStoreOfALaterProgramIsSaid()
    {
        QTemporaryDir dir;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("later"));
            db.setDatabaseName(dir.filePath(QStringLiteral("runs.sqlite")));
            QString error;
            QVERIFY(db.open());
            QVERIFY2(StoreSchema::migrate(db, &error) > 0, qPrintable(error));
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("INSERT INTO schema_writers VALUES ('9.0')")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("later"));
        SimProcess sim({"--tcp", "0", "--source", "supply", "--speed", "10"});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        // A lab server that is not there: the run would otherwise be said to wait for it.
        TestFiles::writeBytes(ini,
            TestFiles::lanLoadSettings(sim.port(QStringLiteral("load")), QStringLiteral("100"))
                + "[Store]\r\nHost=127.0.0.1\r\nPort=1\r\n");
        const QString program = dir.filePath(QStringLiteral("one.TSF"));
        TestFiles::writeBytes(
            program, TestFiles::crlfLines({"header", "1,Discharge,CC,2,0,1,0,,,,,,,,,,,,,,,,,,,,,,,,0,0"}));
        const QString csv = dir.filePath(QStringLiteral("run.CSV"));
        QProcess runner;
        runner.start(TestFiles::binary("vornic-run"), {"--settings", ini, "--log", csv, program});
        QVERIFY(waitForEnd(runner));
        const QString said = QString::fromUtf8(runner.readAllStandardError());
        QCOMPARE(runner.exitCode(), 0);
        QVERIFY2(said.contains(QStringLiteral("THIS RUN IS NOT IN THE RUN STORE %1").arg(dir.filePath("runs.sqlite")))
                && said.contains(QStringLiteral("install version 9.0 or later on this bench"))
                && said.contains(QStringLiteral("its CSV log %1 holds every row").arg(csv)) && !said.contains("waits"),
            qPrintable(said));
        QVERIFY(csvRows(csv).size() > 5);
    }

    // Steps that end by their time, whose last pass makes no row: the log and the store hold the
    // same samples, numbered alike, and nothing more.
    void finishedRunAgrees()
    {
        QTemporaryDir dir;
        SimProcess sim({"--tcp", "0", "--source", "supply", "--speed", "10"});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(sim.port(QStringLiteral("load")), QStringLiteral("100")));
        const QString program = dir.filePath(QStringLiteral("three.TSF"));
        TestFiles::writeBytes(program,
            TestFiles::crlfLines({"header", "1,Discharge,CC,2,0,1,0,,,,,,,,,,,,,,,,,,,,,,,,0,0",
                "2,Discharge,CC,1,0,1,0,,,,,,,,,,,,,,,,,,,,,,,,0,0", "3,Rest,,,,1,,,,,,,,,,,,,,,,,,,,,,,,,0,0"}));
        const QString csv = dir.filePath(QStringLiteral("run.CSV"));
        QProcess runner;
        runner.start(TestFiles::binary("vornic-run"), {"--settings", ini, "--log", csv, program});
        QVERIFY(waitForEnd(runner));
        QCOMPARE(runner.exitCode(), 0);

        const QList<QList<QByteArray>> rows = csvRows(csv);
        QVERIFY(rows.size() > 10);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("finished"));
        db.setDatabaseName(dir.filePath(QStringLiteral("runs.sqlite")));
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("SELECT COUNT(*) FROM samples") && query.next());
        QCOMPARE(query.value(0).toLongLong(), qlonglong(rows.size()));
        const QString differs = disagreement(db, rows, rows.size());
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
    }

    // The chart history kept at the run's end is the one its samples gather, column for column,
    // with every step start and verdict: an OCP that its 5 A limit trips within 3..10 A passes.
    void finishedRunKeepsItsChart()
    {
        QTemporaryDir dir;
        SimProcess sim({"--tcp", "0", "--source", "supply", "--speed", "10"});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(sim.port(QStringLiteral("load")), QStringLiteral("100")));
        const QString program = dir.filePath(QStringLiteral("ocp.TSF"));
        TestFiles::writeBytes(program,
            TestFiles::crlfLines({"header", "1,Discharge,CC,2,0,2,0,,,,,,,,,,,,,,,,,,,,,,,,0,0",
                "2,OCP,,,,,,,0,10,0.5,0.6,10,3,,,,,,,,,,,,,,,,,,", "3,Rest,,,,1,,,,,,,,,,,,,,,,,,,,,,,,,0,0"}));
        QProcess runner;
        runner.start(TestFiles::binary("vornic-run"),
            {"--settings", ini, "--log", dir.filePath(QStringLiteral("run.CSV")), program});
        QVERIFY(waitForEnd(runner));
        QCOMPARE(runner.exitCode(), 0);

        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        std::optional<ChartHistory> kept;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("kept"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("SELECT format, chart FROM run_charts") && query.next());
            QCOMPARE(query.value(0).toInt(), ChartHistoryBytes::Format);
            kept = ChartHistoryBytes::read(query.value(1).toByteArray());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("kept"));
        QVERIFY(kept);
        RunArchive archive = RunArchive::local(path);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const QList<StoredRun> runs = archive.runs({}, &error);
        QCOMPARE(runs.size(), 1);
        const std::optional<StoredRun> run = archive.run(runs.first().uuid, &error);
        QVERIFY2(run, qPrintable(error));
        ChartHistory gathered;
        QVERIFY2(StoredRunChart::fill(
                     gathered, archive, *run, [] { return false; }, &error),
            qPrintable(error));
        const QStringList lines = HistoryLines::of(gathered);
        QCOMPARE(lines.filter(QStringLiteral(" step 2 OCP ")).size(), 1);
        QCOMPARE(lines.filter(QStringLiteral("kind %1").arg(int(ChartHistory::Mark::Kind::Pass))).size(), 1);
        QCOMPARE(HistoryLines::of(*kept), lines);
    }

    // The disk under the store fills mid-run: vornic-run's run ends as it would, and its end says
    // how many samples the store lacks and that the CSV log has them; the store lists the run as
    // incomplete until the log, imported, gives it every row.
    void aDiskThatFillsUnderTheStore()
    {
        TinyDisk disk(4096);
        if (!disk.isMounted())
            QSKIP("a tmpfs cannot be mounted here");
        QTemporaryDir dir;
        SimProcess sim({"--tcp", "0", "--source", "supply", "--speed", "10"});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString ini = disk.filePath(QStringLiteral("VORN.INI"));
        const QString store = disk.filePath(QStringLiteral("runs.sqlite"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(sim.port(QStringLiteral("load")), QStringLiteral("100")));
        const QString program = dir.filePath(QStringLiteral("eight.TSF"));
        TestFiles::writeBytes(
            program, TestFiles::crlfLines({"header", "1,Discharge,CC,2,0,8,0,,,,,,,,,,,,,,,,,,,,,,,,0,0"}));
        const QString csv = dir.filePath(QStringLiteral("run.CSV"));
        QProcess runner;
        runner.start(TestFiles::binary("vornic-run"), {"--settings", ini, "--log", csv, program});
        QVERIFY(runner.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(TestFiles::readBytes(csv).count('\n') > 10, 60000);
        QVERIFY(QFileInfo::exists(store + QStringLiteral("-reserve")));
        disk.fill();
        QVERIFY(waitForEnd(runner));
        const QString said = QString::fromUtf8(runner.readAllStandardError());
        QVERIFY2(runner.exitCode() == 0, qPrintable(said));
        const QList<QList<QByteArray>> rows = csvRows(csv);
        const QRegularExpressionMatch lacks = QRegularExpression(
            QStringLiteral("The run store %1 lacks (\\d+) of this run's %2 samples: [^\\n]*The run's "
                           "end is in it\\. The CSV log %3 has them: \"vornic-runs --store %1 import "
                           "%3\" puts them in the store")
                .arg(QRegularExpression::escape(store))
                .arg(rows.size())
                .arg(QRegularExpression::escape(csv)))
                                                  .match(said);
        QVERIFY2(lacks.hasMatch(), qPrintable(said));
        const qsizetype missing = lacks.captured(1).toLongLong();
        QVERIFY(missing > 0 && missing < rows.size());

        const QStringList storeArguments{QStringLiteral("--settings"), ini, QStringLiteral("--store"), store};
        QString listed = outputOf(TestFiles::binary("vornic-runs"), storeArguments + QStringList{"list"});
        QVERIFY2(listed.contains(QStringLiteral(" PASS, INCOMPLETE (%1 samples missing) ").arg(missing)),
            qPrintable(listed));
        QVERIFY(QFile::remove(disk.filePath(QStringLiteral(".filler"))));
        const QString imported
            = outputOf(TestFiles::binary("vornic-runs"), storeArguments + QStringList{"import", csv});
        QVERIFY2(imported.contains(QStringLiteral(" samples added, %1 in all").arg(rows.size())), qPrintable(imported));
        listed = outputOf(TestFiles::binary("vornic-runs"), storeArguments + QStringList{"list"});
        QVERIFY2(!listed.contains(QStringLiteral("INCOMPLETE")), qPrintable(listed));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("filled"));
            db.setDatabaseName(store);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("SELECT COUNT(*) FROM samples") && query.next());
            QCOMPARE(query.value(0).toLongLong(), qlonglong(rows.size()));
            const QString differs = disagreement(db, rows, rows.size());
            QVERIFY2(differs.isEmpty(), qPrintable(differs));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("filled"));
    }
};

QTEST_GUILESS_MAIN(TestStoreEndToEnd)
#include "tst_storeendtoend.moc"
