#include "PgCluster.h"
#include "StoreRows.h"
#include "TestFiles.h"
#include "store/RunArchive.h"
#include "store/ServerMirror.h"
#include "store/StationIdentity.h"
#include "store/StationStateHolder.h"
#include "store/StoreSchema.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

// What release 1.2, the last before the oldest-writer rule, sends a server: its check of the
// tables' version, then a run with its samples and steps and the station's state, statement for
// statement as it sends them. "" when all went, else the first refusal.
QString writeAsRelease12(const StoreServer &server, const QString &uuid, const QString &station)
{
    QString error;
    {
        QSqlDatabase db = server.addConnection(QStringLiteral("release 1.2"));
        QSqlQuery query(db);
        const auto run = [&](const QString &sql, const QVariantList &values = {}) {
            if (!error.isEmpty())
                return;
            query.prepare(sql);
            for (const QVariant &value : values)
                query.addBindValue(value);
            if (!query.exec())
                error = query.lastError().text();
        };
        if (!db.open())
            error = db.lastError().text();
        // Release 1.2 refuses tables whose required version is past the 7 it knows.
        run(QStringLiteral("SELECT MAX(version) FROM schema_version"));
        if (error.isEmpty() && query.next() && query.value(0).toInt() > 7)
            error = QStringLiteral("the file is of a later version (%1) than this program knows (7)")
                        .arg(query.value(0).toInt());
        run(QStringLiteral("BEGIN"));
        run(QStringLiteral(
                "INSERT INTO runs (uuid, program_name, program_text, model, rated_current, settings_text, station, "
                "started, ended, result, message, sample_count, log_path, imported_from, load_off, load_off_address, "
                "load_off_since, load_off_confirmed_at, load_off_amps) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?) "
                "ON CONFLICT (uuid) DO UPDATE SET ended = EXCLUDED.ended, result = EXCLUDED.result"),
            {uuid, QStringLiteral("/bench/cell.TSF"), QByteArray("1,Discharge\r\n"), QStringLiteral("6312C"),
                QStringLiteral("60"), QStringLiteral("[Store]\r\n"), station, QStringLiteral("2026-12-08T09:00:00.000"),
                QStringLiteral("2026-12-08T09:00:03.000"), QStringLiteral("PASS"), QStringLiteral("done"),
                QStringLiteral("3"), QString(), QString(), QStringLiteral("CONFIRMED"),
                QStringLiteral("TCP 127.0.0.1:5025"), QString(), QStringLiteral("2026-12-08T09:00:03.100"),
                QStringLiteral("0")});
        run(QStringLiteral("INSERT INTO samples (run_uuid, seq, elapsed_s, v, i, w, ah, wh, step) SELECT ?::text, * "
                           "FROM unnest(?::bigint[], ?::float8[], ?::float8[], ?::float8[], ?::float8[], "
                           "?::float8[], ?::float8[], ?::integer[]) ON CONFLICT (run_uuid, seq) DO NOTHING"),
            {uuid, QStringLiteral("{1,2,3}"), QStringLiteral("{1,2,3}"), QStringLiteral("{12,11.9,11.8}"),
                QStringLiteral("{1.5,1.5,1.5}"), QStringLiteral("{18,17.85,17.7}"),
                QStringLiteral("{0.0004,0.0008,0.0012}"), QStringLiteral("{0.005,0.01,0.015}"),
                QStringLiteral("{1,1,1}")});
        run(QStringLiteral("DELETE FROM steps WHERE run_uuid = ?"), {uuid});
        run(QStringLiteral("INSERT INTO steps (run_uuid, step, function, started, seconds, end_reason, verdict, "
                           "value, ah, wh, v, i) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)"),
            {uuid, 1, QStringLiteral("Discharge"), QStringLiteral("2026-12-08T09:00:00.000"), 3.0,
                QStringLiteral("time"), QString(), QString(), 0.0012, 0.015, 11.8, 1.5});
        run(QStringLiteral("COMMIT"));
        run(QStringLiteral(
                "INSERT INTO station_states (station, activity, run_uuid, program, step, steps, row, function, v, i, "
                "ah, elapsed_s, step_left_s, estimated_end, last_result, load_off, load_off_address, load_off_since, "
                "load_off_confirmed_at, heard_at) VALUES (?, 'FINISHED', ?, '/bench/cell.TSF', NULL, NULL, NULL, "
                "NULL, NULL, NULL, NULL, NULL, NULL, NULL, 'PASS', 'CONFIRMED', NULL, NULL, NULL, now()) ON CONFLICT "
                "(station) DO UPDATE SET activity = EXCLUDED.activity, run_uuid = EXCLUDED.run_uuid, last_result = "
                "EXCLUDED.last_result, heard_at = EXCLUDED.heard_at"),
            {station, uuid});
    }
    QSqlDatabase::removeDatabase(QStringLiteral("release 1.2"));
    return error;
}

// The statements that take a server this version brought up back to what release 1.2 leaves.
const QStringList BackToRelease12{QStringLiteral("DROP VIEW stations_now, capacity_per_program"),
    QStringLiteral("DROP TABLE stations, schema_writers"),
    QStringLiteral("DELETE FROM schema_additions WHERE version = 8"),
    QStringLiteral(
        "CREATE VIEW stations_now AS SELECT s.station, s.activity, s.run_uuid, s.program, s.step, s.steps, s.row, "
        "s.function, s.v, s.i, s.ah, s.elapsed_s, s.step_left_s, s.estimated_end, s.last_result, s.heard_at, "
        "EXTRACT(EPOCH FROM now() - s.heard_at)::DOUBLE PRECISION AS silent_seconds, s.activity <> 'FINISHED' AND "
        "now() - s.heard_at > INTERVAL '10 seconds' AS silent, s.load_off, s.load_off_address, s.load_off_since, "
        "s.load_off_confirmed_at FROM station_states s"),
    QStringLiteral("CREATE VIEW capacity_per_program AS SELECT r.program_name AS program, COUNT(*) AS runs, AVG(t.ah) "
                   "AS mean_ah, MIN(t.ah) AS min_ah, MAX(t.ah) AS max_ah FROM runs r JOIN (SELECT run_uuid, SUM(ah) "
                   "AS ah FROM steps GROUP BY run_uuid) t ON t.run_uuid = r.uuid WHERE COALESCE(r.result, '') <> '' "
                   "GROUP BY r.program_name"),
    QStringLiteral("SELECT 1")};

// A bench's file with one finished run of three samples.
void writeBench(const QString &path, const QString &uuid, const QString &station)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(path);
        QString error;
        if (!db.open() || StoreSchema::migrate(db, &error) < 0)
            qWarning() << "bench:" << error;
        QSqlQuery query(db);
        for (const QString &sql :
            {QStringLiteral("INSERT INTO runs (uuid, program_name, program_text, station, started, ended, result, "
                            "message, sample_count) VALUES ('%1', 'cell.TSF', 'x', '%2', '2026-12-08T10:00:00.000', "
                            "'2026-12-08T10:00:03.000', 'FAIL', 'low', 3)"),
                QStringLiteral("INSERT INTO samples VALUES ('%1', 1, 1, 12, 1, 12, 0.1, 1, 1), ('%1', 2, 2, 11, 1, 11, "
                               "0.2, 2, 1), ('%1', 3, 3, 10, 1, 10, 0.3, 3, 1)"),
                QStringLiteral("INSERT INTO steps VALUES ('%1', 1, 'Discharge', '2026-12-08T10:00:00.000', 3, 'time', "
                               "'FAIL', '', 0.3, 3, 10, 1)")}) {
            if (!query.exec(sql.contains(QStringLiteral("%2")) ? sql.arg(uuid, station) : sql.arg(uuid)))
                qWarning() << query.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
}

} // namespace

// Benches of different versions in one lab, and stations told apart by their ids.
class TestLabVersions : public QObject
{
    Q_OBJECT

    PgCluster m_cluster;
    QTemporaryDir m_dir;
    int m_databases = 0;

    // A server database of its own for one case, made empty.
    StoreServer freshServer()
    {
        StoreServer server = m_cluster.server();
        const QString name = QStringLiteral("lab%1").arg(++m_databases);
        const QStringList made = serverRows(server, {QStringLiteral("CREATE DATABASE %1").arg(name)});
        if (!made.isEmpty())
            qWarning() << made;
        server.database = name;
        return server;
    }

    // Every station the lab's view lists, as "label|id given|name shared|activity|result".
    QStringList listed(const StoreServer &server, int shownForDays = RunArchive::StationsShownForDays)
    {
        RunArchive archive = RunArchive::server(server);
        QString error;
        if (!archive.open(&error))
            return {error};
        const std::optional<QList<StationState>> stations = archive.stations(&error, shownForDays);
        if (!stations)
            return {error};
        QStringList rows;
        for (const StationState &state : *stations)
            rows.append(QStringLiteral("%1|%2|%3|%4")
                            .arg(state.label(), state.stationId.isEmpty() ? QStringLiteral("no id") : QString(),
                                state.nameShared ? QStringLiteral("shared") : QString(), state.lastResult));
        return rows;
    }

    // The state of a station whose run has ended.
    static StationStateHolder::Snapshot finished(const QString &name, const QString &id, const QString &result)
    {
        StationStateHolder holder(name, id);
        holder.runStarted(QUuid::createUuid().toString(QUuid::WithoutBraces), QStringLiteral("cell.TSF"), 1);
        holder.runEnded(result, LoadOff());
        return holder.snapshot();
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_cluster.problem().isEmpty())
            QSKIP(qPrintable(m_cluster.problem()));
    }

    // A program writes to tables of a later version than it knows as long as they name no writer
    // newer than itself; before that rule, only the tables' version could tell.
    void theOldestWriterDecides_data()
    {
        QTest::addColumn<bool>("onServer");
        QTest::addColumn<QStringList>("change");
        QTest::addColumn<QString>("refusal");
        for (const bool server : {false, true}) {
            const char *where = server ? "server" : "bench file";
            QTest::addRow("%s: as this version left it", where) << server << QStringList() << QString();
            QTest::addRow("%s: a later addition", where)
                << server << QStringList{"INSERT INTO schema_additions VALUES (9)"} << QString();
            QTest::addRow("%s: a later version that lets 1.2 write", where)
                << server << QStringList{"INSERT INTO schema_version VALUES (9)"} << QString();
            QTest::addRow("%s: a writer from 9.0 on", where)
                << server << QStringList{"INSERT INTO schema_writers VALUES ('9.0')"}
                << QStringLiteral(
                       "it was brought up to date by version 9.0 of this program, and this bench's version (%1) may "
                       "no longer write to it: install version 9.0 or later on this bench")
                       .arg(StoreSchema::programVersion().toString());
            QTest::addRow("%s: a later version, from before the rule", where)
                << server << QStringList{"INSERT INTO schema_version VALUES (9)", "DROP TABLE schema_writers"}
                << QStringLiteral("it was written by a later version of this program (table version 9; this version "
                                  "knows 8): install the version of this program its other writers use");
        }
    }
    void theOldestWriterDecides()
    {
        QFETCH(bool, onServer);
        QFETCH(QStringList, change);
        QFETCH(QString, refusal);
        const StoreServer server = onServer ? freshServer() : StoreServer();
        const QString file = m_dir.filePath(QStringLiteral("bench%1.sqlite").arg(++m_databases));
        const QString connection = QStringLiteral("versions");
        QString error;
        {
            QSqlDatabase db = onServer ? server.addConnection(connection)
                                       : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            if (!onServer)
                db.setDatabaseName(file);
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QCOMPARE(StoreSchema::migrate(db, &error), StoreSchema::latestVersion());
            QSqlQuery query(db);
            for (const QString &statement : change)
                QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
            QCOMPARE(StoreSchema::migrate(db, &error), refusal.isEmpty() ? 0 : -1);
            QCOMPARE(error, refusal);
        }
        QSqlDatabase::removeDatabase(connection);
        if (!onServer || refusal.isEmpty())
            return;
        // The forwarder says it in the same words, of the lab server.
        const QString bench = m_dir.filePath(QStringLiteral("forwarding%1.sqlite").arg(m_databases));
        writeBench(bench, QUuid::createUuid().toString(QUuid::WithoutBraces), QStringLiteral("Bench V"));
        ServerMirror mirror(bench, server);
        QCOMPARE(mirror.forwardAll().error,
            QStringLiteral("the lab server %1 cannot take runs: %2").arg(server.describe(), refusal));
    }

    // Release 1.2 goes on writing to a server this version brought up, and this version to one
    // release 1.2 brought up: the runs of both are whole there, and every station is listed.
    void release12AndThisVersionShareAServer_data()
    {
        QTest::addColumn<bool>("release12First");
        QTest::newRow("this version first") << false;
        QTest::newRow("release 1.2 first") << true;
    }
    void release12AndThisVersionShareAServer()
    {
        QFETCH(bool, release12First);
        const StoreServer server = freshServer();
        const QString bench = m_dir.filePath(QStringLiteral("this%1.sqlite").arg(m_databases));
        const QString thisRun = QUuid::createUuid().toString(QUuid::WithoutBraces),
                      oldRun = QUuid::createUuid().toString(QUuid::WithoutBraces);
        writeBench(bench, thisRun, QStringLiteral("Bench 13"));
        {
            ServerMirror mirror(bench, server);
            if (release12First) {
                QString error;
                QVERIFY2(mirror.sendStationState(
                             finished(QStringLiteral("Bench 13"),
                                 QStringLiteral("13000000-0000-4000-8000-000000000000"), QStringLiteral("FAIL")),
                             &error),
                    qPrintable(error));
                QCOMPARE(serverRows(server, BackToRelease12), QStringList{"1"});
                QCOMPARE(writeAsRelease12(server, oldRun, QStringLiteral("Bench 12")), QString());
            }
        }
        ServerMirror mirror(bench, server);
        const ServerMirror::Outcome outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QString error;
        QVERIFY2(
            mirror.sendStationState(finished(QStringLiteral("Bench 13"),
                                        QStringLiteral("13000000-0000-4000-8000-000000000000"), QStringLiteral("FAIL")),
                &error),
            qPrintable(error));
        if (!release12First)
            QCOMPARE(writeAsRelease12(server, oldRun, QStringLiteral("Bench 12")), QString());
        // Written again, as every round of release 1.2 does.
        QCOMPARE(writeAsRelease12(server, oldRun, QStringLiteral("Bench 12")), QString());
        QCOMPARE(serverRows(server,
                     {QStringLiteral("SELECT r.station, r.result, (SELECT COUNT(*) FROM samples s WHERE s.run_uuid = "
                                     "r.uuid), (SELECT COUNT(*) FROM steps t WHERE t.run_uuid = r.uuid) FROM runs r "
                                     "ORDER BY r.station")}),
            (QStringList{"Bench 12|PASS|3|1", "Bench 13|FAIL|3|1"}));
        QCOMPARE(listed(server), (QStringList{"Bench 12|no id||PASS", "Bench 13|||FAIL"}));
        QCOMPARE(serverRows(server, {QStringLiteral("SELECT oldest_version FROM schema_writers")}), QStringList{"1.2"});
    }

    // Two benches given one name both show, each marked; a bench of release 1.2 with that name too.
    // A bench's own row from before it kept an id goes once it has been quiet there a while.
    void stationsAreTheirIds()
    {
        const StoreServer server = freshServer();
        const QString bench = m_dir.filePath(QStringLiteral("ids%1.sqlite").arg(m_databases));
        ServerMirror mirror(bench, server);
        QString error;
        for (const auto &[id, result] : {std::pair{"aaaaaaaa-0000-4000-8000-000000000000", "PASS"},
                 std::pair{"bbbbbbbb-0000-4000-8000-000000000000", "FAIL"}})
            QVERIFY2(
                mirror.sendStationState(
                    finished(QStringLiteral("Bench 1"), QString::fromLatin1(id), QString::fromLatin1(result)), &error),
                qPrintable(error));
        QCOMPARE(
            writeAsRelease12(server, QUuid::createUuid().toString(QUuid::WithoutBraces), QStringLiteral("Bench 1")),
            QString());
        QCOMPARE(listed(server),
            (QStringList{
                "Bench 1 [aaaaaaaa]||shared|PASS", "Bench 1 [bbbbbbbb]||shared|FAIL", "Bench 1|no id|shared|PASS"}));
        // The release 1.2 row went quiet two minutes ago: the next round of a station of that name
        // takes it as its own past and removes it.
        QCOMPARE(serverRows(server,
                     {QStringLiteral("UPDATE station_states SET heard_at = now() - INTERVAL '2 minutes'"),
                         QStringLiteral("SELECT 1")}),
            QStringList{"1"});
        QVERIFY2(
            mirror.sendStationState(finished(QStringLiteral("Bench 1"),
                                        QStringLiteral("aaaaaaaa-0000-4000-8000-000000000000"), QStringLiteral("PASS")),
                &error),
            qPrintable(error));
        QCOMPARE(listed(server), (QStringList{"Bench 1 [aaaaaaaa]||shared|PASS", "Bench 1 [bbbbbbbb]||shared|FAIL"}));
        // A station renamed keeps its row.
        QVERIFY2(
            mirror.sendStationState(finished(QStringLiteral("Bench 2"),
                                        QStringLiteral("bbbbbbbb-0000-4000-8000-000000000000"), QStringLiteral("PASS")),
                &error),
            qPrintable(error));
        QCOMPARE(listed(server), (QStringList{"Bench 1|||PASS", "Bench 2|||PASS"}));
        // A station gone for longer than the lab shows them leaves the list, and stays in the table.
        QCOMPARE(serverRows(server,
                     {QStringLiteral("UPDATE stations SET heard_at = now() - INTERVAL '8 days' WHERE station = "
                                     "'Bench 2'"),
                         QStringLiteral("SELECT COUNT(*) FROM stations")}),
            QStringList{"2"});
        QCOMPARE(listed(server), QStringList{"Bench 1|||PASS"});
        QCOMPARE(listed(server, 9), (QStringList{"Bench 1|||PASS", "Bench 2|||PASS"}));
    }

    // Benches keep their copy of a program in folders of their own: the file's name is the program.
    void programsAreCountedByTheirFilesName()
    {
        const StoreServer server = freshServer();
        ServerMirror mirror(m_dir.filePath(QStringLiteral("none.sqlite")), server);
        QString error;
        QVERIFY2(
            mirror.sendStationState(finished(QStringLiteral("Bench P"),
                                        QStringLiteral("dddddddd-0000-4000-8000-000000000000"), QStringLiteral("PASS")),
                &error),
            qPrintable(error));
        QCOMPARE(serverRows(server,
                     {QStringLiteral("INSERT INTO runs (uuid, program_name, result) VALUES ('p1', '/bench/1/cell.TSF', "
                                     "'PASS'), ('p2', 'C:\\bench 2\\cell.TSF', 'FAIL'), ('p3', 'other.TSF', 'PASS')"),
                         QStringLiteral("INSERT INTO steps (run_uuid, step, ah) VALUES ('p1', 1, 1.0), ('p2', 1, 2.0), "
                                        "('p3', 1, 5.0)"),
                         QStringLiteral("SELECT program, runs, mean_ah FROM capacity_per_program ORDER BY program")}),
            (QStringList{"cell.TSF|2|1.5", "other.TSF|1|5"}));
    }

    void stationsShownForDays_data()
    {
        QTest::addColumn<QByteArray>("store");
        QTest::addColumn<int>("days");
        QTest::newRow("not given") << QByteArray("[Store]\r\nHost=lab\r\n") << 7;
        QTest::newRow("three") << QByteArray("[Store]\r\nStationsShownForDays=3\r\n") << 3;
        QTest::newRow("zero") << QByteArray("[Store]\r\nStationsShownForDays=0\r\n") << 7;
        QTest::newRow("not a number") << QByteArray("[Store]\r\nStationsShownForDays=week\r\n") << 7;
    }
    void stationsShownForDays()
    {
        QFETCH(QByteArray, store);
        QFETCH(int, days);
        const QString ini = m_dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, store);
        QCOMPARE(RunArchive::stationsShownForDays(ini), days);
    }

    // The id is made once and kept; a folder that cannot keep it gives the same id each time.
    void anIdIsKept()
    {
        QTemporaryDir dir;
        const QString id = StationIdentity::of(dir.path());
        QVERIFY(!QUuid::fromString(id).isNull());
        QCOMPARE(TestFiles::readBytes(dir.filePath(StationIdentity::FileName)), id.toUtf8() + '\n');
        QCOMPARE(StationIdentity::of(dir.path()), id);
        QVERIFY(StationIdentity::of(m_dir.path()) != id);
        // A folder below a file can never be made.
        TestFiles::writeBytes(dir.filePath(QStringLiteral("file")), "x");
        const QString unkept = dir.filePath(QStringLiteral("file/bench"));
        const QString made = StationIdentity::of(unkept);
        QVERIFY(!QUuid::fromString(made).isNull());
        QCOMPARE(StationIdentity::of(unkept), made);
        QVERIFY(made != id);
    }
};

QTEST_GUILESS_MAIN(TestLabVersions)
#include "tst_labversions.moc"
