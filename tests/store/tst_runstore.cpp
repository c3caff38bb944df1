#include "HistoryLines.h"
#include "RunBench.h"
#include "SecretSettings.h"
#include "StoreRows.h"
#include "TestFiles.h"
#include "TinyDisk.h"
#include "results/ChartHistoryBytes.h"
#include "store/RunArchive.h"
#include "store/RunStore.h"
#include "store/StoreSchema.h"
#include "store/StoredRunChart.h"
#include "store/StoredRunText.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <optional>

namespace {

// Each statement on the store's file, the `?` in it bound to `value`.
bool execOn(const QString &path, const QStringList &statements, const QVariant &value = {})
{
    bool done = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("change"));
        db.setDatabaseName(path);
        done = db.open();
        for (const QString &statement : statements) {
            QSqlQuery query(db);
            query.prepare(statement);
            if (statement.contains(u'?'))
                query.addBindValue(value);
            if (done && !query.exec()) {
                qWarning() << statement << query.lastError().text();
                done = false;
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("change"));
    return done;
}

// The chart history the store kept for its one run; none when it kept none it can read.
std::optional<ChartHistory> keptChart(const QString &path)
{
    std::optional<ChartHistory> kept;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("kept"));
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (db.open() && query.exec(QStringLiteral("SELECT format, chart FROM run_charts")) && query.next()
            && query.value(0).toInt() == ChartHistoryBytes::Format)
            kept = ChartHistoryBytes::read(query.value(1).toByteArray());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("kept"));
    return kept;
}

// The bench's steps: "Discharge|seconds", or "OCP" for a test that trips at 5.2 A and passes.
void addSteps(RunBench &bench, const QStringList &steps)
{
    for (const QString &step : steps) {
        if (step == u"OCP")
            bench.addStep(step, {{8, "0"}, {9, "10"}, {10, "0.1"}, {11, "0.6"}, {12, "10"}, {13, "3"}});
        else
            bench.addDischarge(QStringLiteral("2"), step.section(u'|', 1));
    }
    bench.load.queueReplies(QStringLiteral("TESTING?"), {"1", "1"});
    bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("0"));
    bench.load.setReply(QStringLiteral("NG?"), QStringLiteral("1"));
    bench.load.setReply(QStringLiteral("OCP?"), QStringLiteral("5.2"));
}

QString sampleText(const Sample &s)
{
    QStringList cells;
    for (double value : {s.elapsedSeconds, s.volts, s.amps, s.watts, s.ampHours, s.wattHours})
        cells.append(QVariant(value).toString());
    cells.append(QString::number(s.step));
    return cells.join(u'|');
}

} // namespace

class TestRunStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runIsStored_data()
    {
        QTest::addColumn<QStringList>("stepSeconds");
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("station");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("kept");
        QTest::newRow("one step, host name")
            << QStringList{"3"} << QByteArray("[System]\r\nMeasureTime=1000\r\n") << QSysInfo::machineHostName()
            << QStringList{"1|Discharge|time"} << "[System]\r\nMeasureTime=1000\r\n";
        QTest::newRow("two steps, station named")
            << QStringList{"2", "4"} << QByteArray("[Store]\r\nStation=Bench 7\r\n") << "Bench 7"
            << QStringList{"1|Discharge|time", "2|Discharge|time"} << "[Store]\r\nStation=Bench 7\r\n";
        QTest::newRow("secrets blanked") << QStringList{"3"} << SecretSettings::Text.toUtf8() << "Bench 7"
                                         << QStringList{"1|Discharge|time"} << SecretSettings::Blanked;
        // A NUL would fail every write of the station's state on the lab's server.
        QTest::newRow("station with a NUL: host name")
            << QStringList{"3"} << QByteArray("[Store]\r\nStation=Bench") + QByteArray(1, '\0') + "7\r\n"
            << QSysInfo::machineHostName() << QStringList{"1|Discharge|time"}
            << QStringLiteral("[Store]\r\nStation=Bench") + QChar(0) + "7\r\n";
    }
    void runIsStored()
    {
        QFETCH(QStringList, stepSeconds);
        QFETCH(QByteArray, ini);
        QFETCH(QString, station);
        QFETCH(QStringList, steps);
        QFETCH(QString, kept);
        RunBench bench;
        const QString iniPath = bench.dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(iniPath, ini);
        const QString program = bench.dir.filePath(QStringLiteral("p.TSF"));
        TestFiles::writeBytes(program, "a test step file");
        std::optional<RunStore> first;
        RunStore &store = first.emplace(bench.recorder, bench.identification, iniPath);
        QSignalSpy problems(&store, &RunStore::problem);
        QStringList sent;
        connect(&bench.run.events(), &RunEvents::sample, this,
            [&](const Sample &sample) { sent.append(sampleText(sample)); });
        for (const QString &seconds : stepSeconds)
            bench.addDischarge(QStringLiteral("2"), seconds);
        RunOptions options;
        options.programFile = program;
        QVERIFY(bench.start(options));
        bench.runToEnd();

        QCOMPARE(problems.count(), 0);
        QVERIFY(!QUuid::fromString(store.runUuid()).isNull());
        const QString path = bench.dir.filePath(QStringLiteral("runs.sqlite"));
        // Versions 7 and 8 only add what may be NULL: a program that knows version 6 writes on past
        // them, and from version 8 on the file names the oldest program version that may.
        QCOMPARE(storeRows(path, "SELECT version FROM schema_version ORDER BY version"),
            (QStringList{"1", "2", "3", "4", "5", "6"}));
        QCOMPARE(storeRows(path, "SELECT version FROM schema_additions ORDER BY version"), (QStringList{"7", "8"}));
        QCOMPARE(storeRows(path, "SELECT oldest_version FROM schema_writers"), QStringList{"1.2"});
        // Only the lab's server knows stations.
        QCOMPARE(storeRows(path, "SELECT name FROM sqlite_master WHERE name LIKE 'station%' OR type = 'view'"),
            QStringList());
        const QStringList run{store.runUuid(), program, "a test step file", "6312C", kept, station, "PASS"};
        QCOMPARE(
            storeRows(path, "SELECT uuid, program_name, program_text, model, settings_text, station, result FROM runs"),
            QStringList{run.join(u'|')});
        QCOMPARE(storeRows(path, "SELECT step, function, end_reason FROM steps ORDER BY rowid"), steps);
        QVERIFY(sent.size() > 2);
        QCOMPARE(storeRows(path, "SELECT elapsed_s, v, i, w, ah, wh, step FROM samples ORDER BY seq"), sent);
        QCOMPARE(storeRows(path, "SELECT COUNT(*), MIN(seq), MAX(seq) FROM samples"),
            QStringList{QStringLiteral("%1|1|%1").arg(sent.size())});

        // Reopened: nothing is migrated again, and the next run goes beside the first.
        first.reset();
        RunStore again(bench.recorder, bench.identification, iniPath);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reopen"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QString error;
            QCOMPARE(StoreSchema::migrate(db, &error), 0);
            QCOMPARE(StoreSchema::version(db), StoreSchema::latestVersion());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("reopen"));
        QVERIFY(bench.start(options));
        bench.runToEnd();
        QCOMPARE(storeRows(path, "SELECT COUNT(*) FROM runs").value(0), QStringLiteral("2"));
        QCOMPARE(
            storeRows(path, "SELECT (SELECT COUNT(*) FROM schema_version) + (SELECT COUNT(*) FROM schema_additions)"),
            QStringList{QString::number(StoreSchema::latestVersion())});
    }

    // The run's end keeps the history the live chart gathered: what the run's samples gather,
    // column for column and mark for mark, and read back without them.
    void chartIsKeptAtTheRunsEnd_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("one step") << QStringList{"Discharge|3"};
        QTest::newRow("three steps") << QStringList{"Discharge|2", "Discharge|5", "Discharge|1"};
        QTest::newRow("a verdict") << QStringList{"Discharge|2", "OCP", "Discharge|2"};
        QTest::newRow("columns merged") << QStringList{"Discharge|40", "Discharge|30"};
    }
    void chartIsKeptAtTheRunsEnd()
    {
        QFETCH(QStringList, steps);
        RunBench bench;
        RunStore store(bench.recorder, bench.identification, bench.dir.filePath(QStringLiteral("VORN.INI")));
        addSteps(bench, steps);
        QVERIFY(bench.start());
        bench.runToEnd();

        RunArchive archive = RunArchive::local(store.path());
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> run = archive.run(store.runUuid(), &error);
        QVERIFY2(run, qPrintable(error));
        ChartHistory gathered;
        QVERIFY2(StoredRunChart::fill(
                     gathered, archive, *run, [] { return false; }, &error),
            qPrintable(error));
        QVERIFY(gathered.sampleCount() > 2);
        QCOMPARE(HistoryLines::of(gathered)
                     .filter(QStringLiteral(" kind %1 ").arg(int(ChartHistory::Mark::Kind::Pass)))
                     .size(),
            steps.count(u"OCP"));
        const std::optional<ChartHistory> kept = keptChart(store.path());
        QVERIFY(kept);
        QCOMPARE(HistoryLines::of(*kept), HistoryLines::of(gathered));

        QVERIFY(execOn(store.path(), {QStringLiteral("DELETE FROM samples")}));
        const std::optional<ChartHistory> read = archive.chart(
            *run, [] { return false; }, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(HistoryLines::of(*read), HistoryLines::of(*kept));
    }

    // A run whose kept chart cannot be used is drawn from its samples, as before the store kept
    // charts. `?` stands for the bytes of another run's chart.
    void chartFallsBackToTheSamples_data()
    {
        QTest::addColumn<QStringList>("change");
        QTest::newRow("none kept") << QStringList{"DELETE FROM run_charts"};
        QTest::newRow("another format") << QStringList{"UPDATE run_charts SET format = format + 1, chart = ?"};
        QTest::newRow("cut short") << QStringList{"UPDATE run_charts SET chart = substr(chart, 1, length(chart) - 3)"};
        QTest::newRow("bytes after its end") << QStringList{"UPDATE run_charts SET chart = chart || x'00'"};
        QTest::newRow("an unfinished run")
            << QStringList{"UPDATE runs SET result = ''", "UPDATE run_charts SET chart = ?"};
        QTest::newRow("a file of version 4")
            << QStringList{"DROP TABLE run_charts", "DELETE FROM schema_version WHERE version = 5"};
    }
    void chartFallsBackToTheSamples()
    {
        QFETCH(QStringList, change);
        RunBench bench;
        QString path, uuid;
        {
            RunStore store(bench.recorder, bench.identification, bench.dir.filePath(QStringLiteral("VORN.INI")));
            addSteps(bench, {"Discharge|3", "OCP"});
            QVERIFY(bench.start());
            bench.runToEnd();
            path = store.path();
            uuid = store.runUuid();
        }
        ChartHistory another;
        another.add({0.5, 1, 1, 1, 0, 0, 1});
        QVERIFY(execOn(path, change, ChartHistoryBytes::write(another)));

        RunArchive archive = RunArchive::local(path);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        QCOMPARE(storeRows(path,
                     "SELECT MAX(version) FROM (SELECT version FROM schema_version UNION ALL SELECT version "
                     "FROM schema_additions)"),
            QStringList{QString::number(StoreSchema::latestVersion())});
        const std::optional<StoredRun> run = archive.run(uuid, &error);
        QVERIFY2(run, qPrintable(error));
        ChartHistory gathered;
        QVERIFY2(StoredRunChart::fill(
                     gathered, archive, *run, [] { return false; }, &error),
            qPrintable(error));
        QVERIFY(gathered.sampleCount() > 2);
        const std::optional<ChartHistory> read = archive.chart(
            *run, [] { return false; }, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(HistoryLines::of(*read), HistoryLines::of(gathered));
    }

    // Whatever keeps the store from writing, the run and its CSV log go on as if it were not there.
    void unwritableStore_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("the file's name is a folder") << "folder";
        QTest::newRow("read-only folder") << "read-only";
        QTest::newRow("full disk") << "full";
        QTest::newRow("locked by another writer") << "locked";
    }
    void unwritableStore()
    {
        QFETCH(QString, how);
        RunBench bench;
        std::optional<TinyDisk> disk;
        QString folder = bench.dir.filePath(QStringLiteral("store"));
        QVERIFY(QDir().mkpath(folder));
        if (how == u"folder") {
            QVERIFY(QDir(folder).mkdir(RunStore::FileName));
        } else if (how == u"read-only") {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            QFile probe(folder + QStringLiteral("/probe"));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QSKIP("permissions are not enforced for this user");
            }
        } else if (how == u"full") {
            disk.emplace(64);
            if (!disk->isMounted())
                QSKIP("a tmpfs cannot be mounted here");
            folder = QFileInfo(disk->filePath(QStringLiteral("VORN.INI"))).absolutePath();
        }
        const QString iniPath = QDir(folder).filePath(QStringLiteral("VORN.INI"));
        RunStore store(bench.recorder, bench.identification, iniPath);
        store.setLogPath([&bench] { return bench.log.path(); });
        QSignalSpy problems(&store, &RunStore::problem);
        if (how == u"full")
            disk->fill();
        QSqlDatabase locker;
        const auto unlock = qScopeGuard([&locker] {
            // Closing gives up the lock with the transaction.
            locker.close();
            locker = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("locker"));
        });
        if (how == u"locked") {
            locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
            locker.setDatabaseName(store.path());
            QVERIFY(locker.open());
            QVERIFY(QSqlQuery(locker).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        }
        bench.addDischarge(QStringLiteral("2"), QStringLiteral("30"));
        QVERIFY(bench.start());
        bench.runToEnd();
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Pass});
        // The failure, when it lasted its two seconds before the run's end; the end, what the
        // store could not keep and where the log is.
        QVERIFY(problems.count() == 1 || problems.count() == 2);
        const QString said = problems.last().first().toString();
        QVERIFY2(said.contains(QStringLiteral("The run store %1 could not keep this run's end nor %2 of its %2 samples")
                                   .arg(store.path())
                                   .arg(bench.record().samples)),
            qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("The CSV log %1 has every row").arg(bench.log.path())), qPrintable(said));
        QVERIFY(bench.log.rowsLogged() >= 30);
        QCOMPARE(bench.csvLines().size(), 1 + bench.log.rowsLogged());
    }

    // What became of the run's off lines is kept with its end, and a later try that finds the
    // load off is kept over it, with when; the samples the run made go with its end.
    void loadOffIsKept_data()
    {
        QTest::addColumn<int>("atEnd");
        QTest::addColumn<bool>("confirmedLater");
        QTest::addColumn<QString>("row");
        const QString end = QStringLiteral("2026-12-07T12:00:05.000");
        QTest::newRow("confirmed") << int(LoadOff::State::Confirmed) << false
                                   << "CONFIRMED|TCP 127.0.0.1:5025||" + end + "|0.002";
        QTest::newRow("not confirmed") << int(LoadOff::State::Unconfirmed) << false
                                       << "UNCONFIRMED|TCP 127.0.0.1:5025|" + end + "||";
        QTest::newRow("not confirmed, then confirmed")
            << int(LoadOff::State::Unconfirmed) << true
            << "CONFIRMED|TCP 127.0.0.1:5025|" + end + "|2026-12-07T12:01:35.250|0";
        QTest::newRow("never reached the load") << int(LoadOff::State::None) << false << "||||";
    }
    void loadOffIsKept()
    {
        QFETCH(int, atEnd);
        QFETCH(bool, confirmedLater);
        QFETCH(QString, row);
        RunEvents events;
        FakeClock clock;
        FakeLink load;
        Identification identification(load);
        RunRecorder recorder(events, clock, [] { return QStringLiteral("6312C"); });
        QTemporaryDir dir;
        RunStore store(recorder, identification, dir.filePath(QStringLiteral("VORN.INI")));
        Q_EMIT events.runStarted(RunOptions());
        Q_EMIT events.stepStarted(1, QStringLiteral("Discharge"));
        for (int second = 1; second <= 4; ++second) {
            clock.advance(1000);
            Q_EMIT events.sample(Sample{double(second), 12.5, 2, 25, 0.0005 * second, 0.007 * second, 1});
        }
        clock.advance(1000);
        Q_EMIT events.stepEnded(1, StepEnd::Time);
        LoadOff off;
        off.state = LoadOff::State(atEnd);
        off.address = off.state == LoadOff::State::None ? QString() : QStringLiteral("TCP 127.0.0.1:5025");
        if (off.state == LoadOff::State::Confirmed) {
            off.confirmedAt = clock.now();
            off.amps = 0.002;
        } else if (off.unconfirmed()) {
            off.since = clock.now();
        }
        Q_EMIT events.loadOffChanged(off);
        Q_EMIT events.runEnded(RunResult::Pass, QString());
        QVERIFY(store.waitForSamples(60000));
        if (confirmedLater) {
            clock.advance(90250);
            off.state = LoadOff::State::Confirmed;
            off.confirmedAt = clock.now();
            off.amps = 0;
            Q_EMIT events.loadOffChanged(off);
            QVERIFY(store.waitForSamples(60000));
        }
        QCOMPARE(
            storeRows(store.path(),
                "SELECT load_off, load_off_address, load_off_since, load_off_confirmed_at, load_off_amps FROM runs"),
            QStringList{row});
        QCOMPARE(
            storeRows(store.path(), "SELECT result, ended, sample_count, (SELECT COUNT(*) FROM samples) FROM runs"),
            QStringList{"PASS|2026-12-07T12:00:05.000|4|4"});
    }

    // A file a bench of version 6 wrote is brought up when this version opens it: its runs read as
    // before, owing nothing of their load, and the next run goes beside them with all this version
    // keeps.
    void aFileOfVersion6IsBroughtUp()
    {
        RunBench bench;
        const QString iniPath = bench.dir.filePath(QStringLiteral("VORN.INI"));
        const QString path = bench.dir.filePath(QStringLiteral("runs.sqlite"));
        const QString earlier = QStringLiteral("e0000006-0000-4000-8000-000000000000");
        QVERIFY(execOn(path,
            {"CREATE TABLE runs (uuid TEXT PRIMARY KEY, program_name TEXT, program_text TEXT, model TEXT, "
             "rated_current TEXT, settings_text TEXT, station TEXT, started TEXT, ended TEXT, result TEXT, message "
             "TEXT)",
                "CREATE TABLE steps (run_uuid TEXT NOT NULL REFERENCES runs(uuid), step INTEGER, function TEXT, "
                "started "
                "TEXT, seconds DOUBLE PRECISION, end_reason TEXT, verdict TEXT, value TEXT, ah DOUBLE PRECISION, wh "
                "DOUBLE PRECISION, v DOUBLE PRECISION, i DOUBLE PRECISION)",
                "CREATE INDEX steps_by_run ON steps (run_uuid)",
                "CREATE TABLE samples (run_uuid TEXT NOT NULL REFERENCES runs(uuid), seq INTEGER NOT NULL, elapsed_s "
                "DOUBLE PRECISION, v DOUBLE PRECISION, i DOUBLE PRECISION, w DOUBLE PRECISION, ah DOUBLE PRECISION, "
                "wh DOUBLE PRECISION, step INTEGER, PRIMARY KEY (run_uuid, seq))",
                "CREATE INDEX runs_by_start ON runs (started)",
                "CREATE TABLE forward_state (run_uuid TEXT PRIMARY KEY, whole INTEGER NOT NULL DEFAULT 0, reason "
                "TEXT, tries INTEGER NOT NULL DEFAULT 0, next_try TEXT)",
                "CREATE TABLE run_charts (run_uuid TEXT PRIMARY KEY REFERENCES runs(uuid), format INTEGER NOT NULL, "
                "chart BLOB NOT NULL)",
                "CREATE TABLE schema_version (version INTEGER NOT NULL)",
                "INSERT INTO schema_version VALUES (1), (2), (3), (4), (5), (6)",
                "INSERT INTO runs VALUES ('" + earlier
                    + "', 'cell.TSF', '', '6312C', '60', '', 'Bench 6', '2026-12-06T09:00:00.000', "
                      "'2026-12-06T09:10:00.000', 'PASS', '')",
                "INSERT INTO samples VALUES ('" + earlier + "', 1, 1, 12.5, 2, 25, 0.0005, 0.007, 1)"}));
        {
            RunStore store(bench.recorder, bench.identification, iniPath);
            bench.addDischarge(QStringLiteral("2"), QStringLiteral("3"));
            QVERIFY(bench.start());
            bench.runToEnd();
        }
        QCOMPARE(storeRows(path, "SELECT version FROM schema_version ORDER BY version"),
            (QStringList{"1", "2", "3", "4", "5", "6"}));
        QCOMPARE(storeRows(path, "SELECT version FROM schema_additions ORDER BY version"), (QStringList{"7", "8"}));
        RunArchive archive = RunArchive::local(path);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const QList<StoredRun> runs = archive.runs({}, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(runs.size(), 2);
        const StoredRun &old = runs.at(1);
        QCOMPARE(old.uuid, earlier);
        QCOMPARE(old.sampleCount, qint64(1));
        QVERIFY(!old.samplesMade);
        QCOMPARE(old.missingSamples(), qint64(0));
        QCOMPARE(old.loadOff.state, LoadOff::State::None);
        QCOMPARE(StoredRunText::resultText(old), QStringLiteral("PASS"));
        const StoredRun &added = runs.at(0);
        QCOMPARE(added.result, QStringLiteral("PASS"));
        QCOMPARE(added.samplesMade, std::optional<qint64>(added.sampleCount));
        QVERIFY(added.sampleCount >= 3);
    }

    // A sample is handed to the writer's thread: what that costs a pass, and the log stays small
    // however fast the samples come.
    void costPerSample()
    {
        RunBench bench;
        const QString iniPath = bench.dir.filePath(QStringLiteral("VORN.INI"));
        RunStore store(bench.recorder, bench.identification, iniPath);
        RunEvents &events = bench.run.events();
        Q_EMIT events.runStarted(RunOptions());
        constexpr int Count = 20000;
        QElapsedTimer timer;
        timer.start();
        for (int n = 1; n <= Count; ++n)
            Q_EMIT events.sample({n * 0.1, 12, 2, 24, n * 1e-4, n * 1e-3, 1});
        const qint64 ns = timer.nsecsElapsed();
        qInfo("%d samples handed over, %.2f us each", Count, double(ns) / Count / 1000.0);
        QVERIFY(store.waitForSamples(60000));
        QCOMPARE(storeRows(store.path(), "SELECT COUNT(*), MAX(seq) FROM samples"), QStringList{"20000|20000"});
        // SQLite folds the log back every thousand pages, on the writer's thread.
        QVERIFY(QFileInfo(store.path() + "-wal").size() < 8 * 1024 * 1024);
    }

    // Another writer holds the file: the samples wait and all go in once it lets go, and the run
    // keeps its own result. Held past the run, the store says so once, and again when it can write.
    void heldFileLosesNothing_data()
    {
        QTest::addColumn<bool>("pastTheRun");
        QTest::newRow("for a few passes") << false;
        QTest::newRow("past the run's end") << true;
    }
    void heldFileLosesNothing()
    {
        QFETCH(bool, pastTheRun);
        RunBench bench;
        const QString iniPath = bench.dir.filePath(QStringLiteral("VORN.INI"));
        RunStore store(bench.recorder, bench.identification, iniPath);
        QSignalSpy problems(&store, &RunStore::problem);
        QSignalSpy notices(&store, &RunStore::notice);
        int samples = 0;
        connect(&bench.run.events(), &RunEvents::sample, this, [&samples] { ++samples; });
        bench.addDischarge(QStringLiteral("2"), QStringLiteral("50"));
        QVERIFY(bench.start());
        for (int n = 0; n < 5; ++n)
            bench.pass();
        QVERIFY(store.waitForSamples(60000));
        {
            QSqlDatabase locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
            locker.setDatabaseName(store.path());
            QVERIFY(locker.open());
            QVERIFY(QSqlQuery(locker).exec(QStringLiteral("BEGIN EXCLUSIVE")));
            for (int n = 0; n < 10; ++n)
                bench.pass();
            // The writer has tried and failed at least once while the file is held.
            QTRY_VERIFY(!store.isWritable());
            if (pastTheRun) {
                bench.runToEnd();
                // The failure, when it lasted its two seconds; what the store lacks at the run's end.
                QVERIFY(problems.count() == 1 || problems.count() == 2);
                QVERIFY2(problems.last().first().toString().contains(
                             QStringLiteral("The run store %1 could not keep this run's end nor ").arg(store.path())),
                    qPrintable(problems.last().first().toString()));
            }
            locker.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("locker"));
        bench.runToEnd();
        QTRY_COMPARE_WITH_TIMEOUT(storeRows(store.path(), "SELECT result FROM runs"), QStringList{"PASS"}, 60000);
        QCOMPARE(storeRows(store.path(), "SELECT COUNT(*), MIN(seq), MAX(seq) FROM samples"),
            QStringList{QStringLiteral("%1|1|%1").arg(samples)});
        QCOMPARE(bench.csvLines().size(), 1 + samples);
        if (pastTheRun)
            QTRY_COMPARE(notices.count(), 1);
    }

    // The file removed while a run writes to it: the run goes on into a new one, whole.
    void removedFileIsMadeAgain_data()
    {
        QTest::addColumn<QStringList>("removed");
        QTest::newRow("the store") << QStringList{""};
        QTest::newRow("the store and its log") << QStringList{"", "-wal", "-shm"};
    }
    void removedFileIsMadeAgain()
    {
        QFETCH(QStringList, removed);
        RunBench bench;
        const QString iniPath = bench.dir.filePath(QStringLiteral("VORN.INI"));
        RunStore store(bench.recorder, bench.identification, iniPath);
        QSignalSpy notices(&store, &RunStore::notice);
        int samples = 0;
        connect(&bench.run.events(), &RunEvents::sample, this, [&samples] { ++samples; });
        bench.addDischarge(QStringLiteral("2"), QStringLiteral("20"));
        QVERIFY(bench.start());
        for (int n = 0; n < 8; ++n)
            bench.pass();
        QVERIFY(store.waitForSamples(60000));
        for (const QString &suffix : removed)
            QVERIFY(QFile::remove(store.path() + suffix));
        bench.runToEnd();
        QCOMPARE(storeRows(store.path(), "SELECT uuid, result FROM runs"), QStringList{store.runUuid() + "|PASS"});
        QCOMPARE(storeRows(store.path(), "SELECT COUNT(*), MIN(seq), MAX(seq) FROM samples"),
            QStringList{QStringLiteral("%1|1|%1").arg(samples)});
        QCOMPARE(storeRows(store.path(), "SELECT COUNT(*) FROM steps"), QStringList{"1"});
        QTRY_COMPARE(notices.count(), 1);
        QVERIFY(!QFileInfo::exists(store.path() + ".rescue"));
    }
};

QTEST_GUILESS_MAIN(TestRunStore)
#include "tst_runstore.moc"
