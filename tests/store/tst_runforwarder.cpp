#include "PgCluster.h"
#include "SecretSettings.h"
#include "results/ChartHistoryBytes.h"
#include "results/LoadOffText.h"
#include "store/KeptStationState.h"
#include "store/RunArchive.h"
#include "store/ServerMirror.h"
#include "store/StoreSchema.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Every stored row of one run, the same text from SQLite and from PostgreSQL whatever each makes
// of a number.
QStringList rowsOfRun(QSqlDatabase db, const QString &uuid)
{
    QStringList rows;
    const QStringList queries{
        QStringLiteral(
            "SELECT uuid, program_name, program_text, model, rated_current, settings_text, station, "
            "started, ended, result, message, sample_count, log_path, imported_from, load_off, "
            "load_off_address, load_off_since, load_off_confirmed_at, load_off_amps FROM runs WHERE uuid = ?"),
        QStringLiteral("SELECT step, function, started, seconds, end_reason, verdict, value, ah, wh, v, i FROM steps "
                       "WHERE run_uuid = ? ORDER BY step"),
        QStringLiteral("SELECT seq, elapsed_s, v, i, w, ah, wh, step FROM samples WHERE run_uuid = ? ORDER BY seq")};
    for (const QString &sql : queries) {
        QSqlQuery query(db);
        query.prepare(sql);
        query.addBindValue(uuid);
        if (!query.exec())
            return {query.lastError().text()};
        while (query.next()) {
            QStringList cells;
            for (int column = 0; column < query.record().count(); ++column) {
                const QVariant value = query.value(column);
                if (value.isNull()) {
                    cells.append(QStringLiteral("NULL"));
                    continue;
                }
                // The server keeps the program as its UTF-8 bytes.
                if (value.typeId() == QMetaType::QByteArray) {
                    cells.append(QString::fromUtf8(value.toByteArray()));
                    continue;
                }
                const bool number = value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong
                    || value.typeId() == QMetaType::Int;
                cells.append(number ? QString::number(value.toDouble(), 'g', 17) : value.toString());
            }
            rows.append(cells.join(u'|'));
        }
    }
    return rows;
}

// A bench's store written the way the run store writes it: header, samples as they come, the end.
class LocalStore
{
public:
    explicit LocalStore(const QString &path) : m_connection(QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(path);
        QString error;
        if (!db.open() || StoreSchema::migrate(db, &error) < 0)
            qWarning() << "local store:" << error << db.lastError().text();
    }
    ~LocalStore()
    {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_connection, false); }

    void begin(const QString &uuid, const QString &programText = QStringLiteral("line 1\r\nline 2"))
    {
        QSqlQuery query(db());
        query.prepare(QStringLiteral("INSERT INTO runs (uuid, program_name, program_text, settings_text, station, "
                                     "started, result, message) VALUES (?, '/bench/it''s.TSF', ?, '[Store]\r\nHost=x', "
                                     "'Bench 1', ?, '', '')"));
        query.addBindValue(uuid);
        query.addBindValue(programText);
        query.addBindValue(QStringLiteral("2026-12-07T10:00:%1.000").arg(++m_runs, 2, 10, QLatin1Char('0')));
        if (!query.exec())
            qWarning() << query.lastError().text();
    }
    void samples(const QString &uuid, int count)
    {
        db().transaction();
        for (int n = 0; n < count; ++n, ++m_seq)
            exec(QStringLiteral("INSERT INTO samples VALUES ('%1', %2, %3, %4, 1.5, %5, 1e-7, 0.1, %6)")
                     .arg(quoted(uuid))
                     .arg(m_seq + 1)
                     .arg(m_seq * 0.1)
                     .arg(12.0 - m_seq * 1e-4, 0, 'g', 17)
                     .arg(1.5 * (12.0 - m_seq * 1e-4), 0, 'g', 17)
                     .arg(1 + m_seq / 1000));
        db().commit();
    }
    void end(const QString &uuid)
    {
        exec(QStringLiteral("INSERT INTO steps VALUES ('%1', 1, 'Discharge', '2026-12-07T10:00:00.000', 61.25, "
                            "'time', '', '', 0.25, 3.0, 11.9, 1.5)")
                 .arg(quoted(uuid)));
        exec(QStringLiteral("INSERT INTO steps VALUES ('%1', 2, 'OCP Test', '2026-12-07T10:01:01.250', 2.5, "
                            "'load', 'PASS', '5.20A', 0.3, 3.5, 11.8, 0.0)")
                 .arg(quoted(uuid)));
        exec(QStringLiteral("UPDATE runs SET ended = '2026-12-07T10:01:05.000', result = 'PASS', message = 'done', "
                            "model = 'Model A', rated_current = '30' WHERE uuid = '%1'")
                 .arg(quoted(uuid)));
    }

    // A run of `count` samples that has ended.
    void finished(const QString &uuid, int count)
    {
        begin(uuid);
        samples(uuid, count);
        end(uuid);
    }

    // `assignments` ("column = value, ...") on the run's row.
    void set(const QString &uuid, const QString &assignments)
    {
        exec(QStringLiteral("UPDATE runs SET %1 WHERE uuid = '%2'").arg(assignments, quoted(uuid)));
    }

private:
    static QString quoted(QString text) { return text.replace(u'\'', QStringLiteral("''")); }
    void exec(const QString &sql)
    {
        QSqlQuery query(db());
        if (!query.exec(sql))
            qWarning() << sql << query.lastError().text();
    }

    QString m_connection;
    qint64 m_seq = 0;
    int m_runs = 0;
};

} // namespace

class TestRunForwarder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The station's finished state as the bench keeps it for a later forwarder: only a finished
    // one, byte for byte, read back as it was, marked sent once the server has it and not sent
    // again until it changes.
    void theFinishedStateKeptOnTheBench_data()
    {
        QTest::addColumn<int>("activity");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("loadOff");
        QTest::addColumn<QByteArray>("file");
        const QByteArray unconfirmed
            = "{\n    \"last_result\": \"FAIL\",\n    \"load_off\": {\n        \"address\": \"TCP "
              "127.0.0.1:5025\",\n        \"amps\": null,\n        \"confirmed_at\": \"\",\n"
              "        \"since\": \"2026-12-08T09:40:00.000\",\n        \"state\": "
              "\"UNCONFIRMED\"\n    },\n    \"program\": \"/p/cell.TSF\",\n    \"run_uuid\": "
              "\"r-1\",\n    \"sent\": false\n}\n";
        const QByteArray owesNothing
            = "{\n    \"last_result\": \"STOPPED\",\n    \"load_off\": null,\n    \"program\": "
              "\"/p/cell.TSF\",\n    \"run_uuid\": \"r-1\",\n    \"sent\": false\n}\n";
        QTest::newRow("finished, load not confirmed off")
            << int(StationState::Activity::Finished) << "FAIL" << int(LoadOff::State::Unconfirmed) << unconfirmed;
        QTest::newRow("finished, nothing owed")
            << int(StationState::Activity::Finished) << "STOPPED" << int(LoadOff::State::None) << owesNothing;
        QTest::newRow("running: never kept")
            << int(StationState::Activity::Running) << "" << int(LoadOff::State::None) << QByteArray();
        QTest::newRow("idle: never kept")
            << int(StationState::Activity::Idle) << "" << int(LoadOff::State::None) << QByteArray();
    }
    void theFinishedStateKeptOnTheBench()
    {
        QFETCH(int, activity);
        QFETCH(QString, result);
        QFETCH(int, loadOff);
        QFETCH(QByteArray, file);
        QTemporaryDir bench;
        KeptStationState kept(bench.filePath(QStringLiteral("runs.sqlite")));
        QCOMPARE(kept.path(), bench.filePath(QStringLiteral("station-state.json")));
        StationState state;
        state.station = QStringLiteral("Bench 1");
        state.activity = StationState::Activity(activity);
        state.runUuid = QStringLiteral("r-1");
        state.program = QStringLiteral("/p/cell.TSF");
        state.lastResult = result;
        state.loadOff.state = LoadOff::State(loadOff);
        if (state.loadOff.unconfirmed()) {
            state.loadOff.address = QStringLiteral("TCP 127.0.0.1:5025");
            state.loadOff.since = QDateTime(QDate(2026, 12, 8), QTime(9, 40));
        }
        QCOMPARE(kept.keep(state), QString());
        QFile written(kept.path());
        if (file.isEmpty()) {
            QVERIFY(!written.exists() && !kept.read());
            return;
        }
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), file);
        written.close();
        bool sent = true;
        const std::optional<StationState> read = kept.read(&sent);
        QVERIFY(read && !sent);
        QVERIFY(read->activity == StationState::Activity::Finished && read->station.isEmpty());
        QCOMPARE(QStringList({read->runUuid, read->program, read->lastResult, read->loadOff.address}),
            QStringList({state.runUuid, state.program, state.lastResult, state.loadOff.address}));
        QVERIFY(read->loadOff.state == state.loadOff.state && read->loadOff.since == state.loadOff.since);
        // Another state's sending marks nothing; this one's does, and keeping it again leaves it sent.
        StationState other = state;
        other.runUuid = QStringLiteral("r-0");
        kept.markSent(other);
        QVERIFY(kept.read(&sent) && !sent);
        kept.markSent(*read);
        QVERIFY(kept.read(&sent) && sent);
        QCOMPARE(kept.keep(state), QString());
        QVERIFY(kept.read(&sent) && sent);
        // A later confirmation of the load is a new state, to be sent.
        state.loadOff.state = LoadOff::State::Confirmed;
        state.loadOff.confirmedAt = QDateTime(QDate(2026, 12, 8), QTime(9, 41, 2));
        state.loadOff.amps = 0.002;
        QCOMPARE(kept.keep(state), QString());
        QVERIFY(kept.read(&sent) && !sent);
        QCOMPARE(kept.read()->loadOff.amps, std::optional<double>(0.002));
    }

    void initTestCase()
    {
        if (!m_cluster.problem().isEmpty())
            QSKIP(qPrintable(m_cluster.problem()));
        m_server.host = QStringLiteral("127.0.0.1");
        m_server.port = m_cluster.port();
        m_server.database = PgCluster::Database;
        m_server.user = PgCluster::User;
    }

    // Actions in order: "sN" N more samples, "end", "f" a round, "stop"/"start" the server,
    // "early N" the server already holding the header and N samples (a commit whose answer was lost).
    // The run's id is a new UUID unless given.
    void serverEndsWithTheBenchsRun_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<qint64>("lastRoundSent");
        QTest::addColumn<int>("lastRoundTouched");
        QTest::addColumn<int>("lastRoundWaiting");
        QTest::addColumn<QString>("uuid");
        QTest::newRow("an ended run") << QStringList{"s12", "end", "f"} << qint64(12) << 1 << 0 << QString();
        QTest::newRow("a run forwarded as it goes")
            << QStringList{"s7", "f", "s5", "f", "end", "f"} << qint64(0) << 1 << 0 << QString();
        QTest::newRow("a run still going") << QStringList{"s7", "f", "s5", "f"} << qint64(5) << 1 << 0 << QString();
        QTest::newRow("a run without samples yet") << QStringList{"f", "f"} << qint64(0) << 0 << 0 << QString();
        QTest::newRow("several batches") << QStringList{"s12345", "end", "f"} << qint64(12345) << 1 << 0 << QString();
        QTest::newRow("nothing sent twice") << QStringList{"s20", "end", "f", "f"} << qint64(0) << 0 << 0 << QString();
        QTest::newRow("server down, then back")
            << QStringList{"s9", "f", "stop", "s9", "end", "f", "start", "f"} << qint64(9) << 1 << 0 << QString();
        QTest::newRow("a batch committed whose answer was lost")
            << QStringList{"s6000", "early 5000", "end", "f"} << qint64(1000) << 1 << 0 << QString();
        QTest::newRow("a run whose id is no UUID")
            << QStringList{"s30", "end", "f"} << qint64(30) << 1 << 0 << QStringLiteral("bench's run 7; --");
    }
    void serverEndsWithTheBenchsRun()
    {
        QFETCH(QStringList, actions);
        QFETCH(qint64, lastRoundSent);
        QFETCH(int, lastRoundTouched);
        QFETCH(int, lastRoundWaiting);
        QFETCH(QString, uuid);
        if (uuid.isEmpty())
            uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        local.begin(uuid);
        ServerMirror mirror(path, m_server);
        ServerMirror::Outcome outcome;
        for (const QString &action : actions) {
            if (action.startsWith(u's') && action != u"stop" && action != u"start")
                local.samples(uuid, action.mid(1).toInt());
            else if (action == u"end")
                local.end(uuid);
            else if (action == u"f")
                outcome = mirror.forwardAll();
            else if (action == u"stop")
                QVERIFY2(m_cluster.stop(), qPrintable(m_cluster.problem()));
            else if (action == u"start")
                QVERIFY2(m_cluster.start(), qPrintable(m_cluster.problem()));
            else if (action.startsWith(QStringLiteral("early")))
                preload(path, uuid, action.section(u' ', 1).toInt());
        }
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.samplesSent, lastRoundSent);
        QCOMPARE(outcome.runsTouched, lastRoundTouched);
        QCOMPARE(outcome.runsWaiting, lastRoundWaiting);
        QSqlDatabase server = m_server.addConnection(QStringLiteral("check"));
        QVERIFY2(server.open(), qPrintable(server.lastError().text()));
        QCOMPARE(rowsOfRun(server, uuid), rowsOfRun(local.db(), uuid));
        server.close();
        server = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
    }

    void anUnreachableServerIsSaidAndNothingIsLost()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        local.begin(QStringLiteral("0000aaaa-0000-0000-0000-000000000001"));
        local.samples(QStringLiteral("0000aaaa-0000-0000-0000-000000000001"), 3);
        StoreServer nowhere = m_server;
        nowhere.port = quint16(m_cluster.port() + 1);
        ServerMirror mirror(path, nowhere);
        const ServerMirror::Outcome outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.contains(QStringLiteral("cannot be reached")), qPrintable(outcome.error));
        QCOMPARE(outcome.samplesSent, 0);
    }

    // A run the server refuses is set aside with the server's reason and offered again after its
    // pause; the runs after it go on, and the round is no failure. %1 stands for the refused run.
    void aRefusedRunHoldsNoOtherBack_data()
    {
        QTest::addColumn<QStringList>("refuse");
        QTest::addColumn<QStringList>("undo");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a trigger refuses its start")
            << QStringList{"CREATE FUNCTION refuse_run() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF NEW.uuid = "
                           "'%1' THEN RAISE EXCEPTION 'this run is not wanted here'; END IF; RETURN NEW; END $$",
                   "CREATE TRIGGER refuse_run BEFORE INSERT OR UPDATE ON runs FOR EACH ROW EXECUTE FUNCTION "
                   "refuse_run()"}
            << QStringList{"DROP TRIGGER refuse_run ON runs", "DROP FUNCTION refuse_run()"}
            << QStringLiteral("this run is not wanted here");
        QTest::newRow("a check refuses its samples")
            << QStringList{"ALTER TABLE samples ADD CONSTRAINT refuse_run CHECK (run_uuid <> '%1')"}
            << QStringList{"ALTER TABLE samples DROP CONSTRAINT refuse_run"} << QStringLiteral("refuse_run");
        QTest::newRow("a check refuses its steps")
            << QStringList{"ALTER TABLE steps ADD CONSTRAINT refuse_run CHECK (run_uuid <> '%1')"}
            << QStringList{"ALTER TABLE steps DROP CONSTRAINT refuse_run"} << QStringLiteral("refuse_run");
        QTest::newRow("a refusal that quotes the settings file")
            << QStringList{"CREATE FUNCTION refuse_run() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF NEW.uuid = "
                           "'%1' THEN RAISE EXCEPTION 'settings not wanted: %', repeat(NEW.settings_text, 50); END "
                           "IF; RETURN NEW; END $$",
                   "CREATE TRIGGER refuse_run BEFORE INSERT OR UPDATE ON runs FOR EACH ROW EXECUTE FUNCTION "
                   "refuse_run()"}
            << QStringList{"DROP TRIGGER refuse_run ON runs", "DROP FUNCTION refuse_run()"}
            << QStringLiteral("settings not wanted: [Store]");
    }
    void aRefusedRunHoldsNoOtherBack()
    {
        QFETCH(QStringList, refuse);
        QFETCH(QStringList, undo);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        const QString refused = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString other = QUuid::createUuid().toString(QUuid::WithoutBraces);
        for (const QString &uuid : {refused, other}) {
            local.finished(uuid, 10);
        }
        QVERIFY(onServer(refuse, refused));
        ServerMirror mirror(path, m_server);
        ServerMirror::Outcome outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.refused.size(), 1);
        QCOMPARE(outcome.refused.first().uuid, refused);
        QVERIFY2(outcome.refused.first().reason.contains(reason), qPrintable(outcome.refused.first().reason));
        // One line a list of runs can show, never a value the server quoted whole.
        QVERIFY2(!outcome.refused.first().reason.contains(u'\n') && outcome.refused.first().reason.size() <= 160,
            qPrintable(outcome.refused.first().reason));
        QVERIFY(mirror.refusal(refused).contains(reason));
        QCOMPARE(outcome.runsCompleted, 1);
        QCOMPARE(outcome.runsWaiting, 1);
        QCOMPARE(serverRows(other), rowsOfRun(local.db(), other));
        QCOMPARE(serverRows(refused), QStringList());
        QStringList state = forwardState(local.db());
        QCOMPARE(state.size(), 2);
        QVERIFY2(state.contains(other + QStringLiteral("|1||0|")), qPrintable(state.join(u' ')));
        const QString refusedState = state.at(state.first().startsWith(refused) ? 0 : 1);
        QVERIFY2(refusedState.startsWith(refused + QStringLiteral("|0|")) && refusedState.contains(reason)
                && refusedState.section(u'|', 3, 3) == u"1",
            qPrintable(refusedState));
        // Offered again a minute later, not at the next round.
        const QDateTime nextTry = QDateTime::fromString(refusedState.section(u'|', 4, 4), Qt::ISODateWithMs);
        const qint64 pause = QDateTime::currentDateTimeUtc().secsTo(nextTry);
        QVERIFY2(pause > 30 && pause <= 60, qPrintable(refusedState));
        QCOMPARE(waitingRuns(path), QStringList{refused + u'|' + outcome.refused.first().reason});
        outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty() && outcome.refused.isEmpty() && outcome.runsTouched == 0,
            qPrintable(outcome.error));
        QCOMPARE(forwardState(local.db()), state);

        // Mended on the server, and its pause over: the run goes whole.
        QVERIFY(onServer(undo, refused));
        QSqlQuery due(local.db());
        QVERIFY(due.exec(QStringLiteral("UPDATE forward_state SET next_try = '2000-01-01T00:00:00.000Z'")));
        outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty() && outcome.refused.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.runsCompleted, 1);
        QCOMPARE(outcome.runsWaiting, 0);
        QCOMPARE(serverRows(refused), rowsOfRun(local.db(), refused));
        QVERIFY2(forwardState(local.db()).contains(refused + QStringLiteral("|1||0|")),
            qPrintable(forwardState(local.db()).join(u' ')));
        QCOMPARE(waitingRuns(path), QStringList());
    }

    // A program file with a NUL byte (padding after a power loss) reaches the server whole and
    // reads back the same, byte for byte.
    void aProgramWithANulByteGoesWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString program
            = QStringLiteral("header\r\n1,Discharge\r\n") + QChar(0) + QStringLiteral("\u00e4'\\\r\n");
        local.begin(uuid, program);
        local.samples(uuid, 3);
        local.end(uuid);
        ServerMirror mirror(path, m_server);
        const ServerMirror::Outcome outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty() && outcome.refused.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.runsCompleted, 1);
        QCOMPARE(serverRows(uuid), rowsOfRun(local.db(), uuid));
        RunArchive archive = RunArchive::server(m_server);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> run = archive.run(uuid, &error);
        QVERIFY2(run, qPrintable(error));
        QCOMPARE(run->programText.toUtf8(), program.toUtf8());
    }

    // Text of any characters reaches the server as the bench holds it, and holds back neither the
    // bench's other runs nor another bench's. PostgreSQL's text cannot hold a NUL: there it is
    // U+FFFD, the mark of a character that could not be kept; the program keeps it as bytes.
    void oddTextTravelsWhole_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("onServer");
        const QString nul(QChar(0)), kept(QChar(QChar::ReplacementCharacter));
        const QString settings = QStringLiteral("[Store]\r\n; copied from %1the old bench\r\nHost=x\r\n");
        QTest::newRow("a NUL in a settings comment")
            << QStringLiteral("settings_text") << settings.arg(nul) << settings.arg(kept);
        QTest::newRow("a NUL in the program name")
            << QStringLiteral("program_name") << QStringLiteral("/bench/cell%1.TSF").arg(nul)
            << QStringLiteral("/bench/cell%1.TSF").arg(kept);
        QTest::newRow("a NUL in the program text")
            << QStringLiteral("program_text") << QStringLiteral("1,Discharge\r\n%1%1%1").arg(nul)
            << QStringLiteral("1,Discharge\r\n%1%1%1").arg(nul);
        QTest::newRow("a NUL in the message")
            << QStringLiteral("message") << QStringLiteral("done%1").arg(nul) << QStringLiteral("done%1").arg(kept);
        QTest::newRow("a NUL in the station")
            << QStringLiteral("station") << QStringLiteral("Bench%1N").arg(nul) << QStringLiteral("Bench%1N").arg(kept);
        const QString quotes = QStringLiteral("it's \"quoted\" \\ \\' \\x00 $$ $1 ? :name %1 E'\\n'");
        QTest::newRow("quotes and backslashes") << QStringLiteral("settings_text") << quotes << quotes;
        const QString injection = QStringLiteral("'; DROP TABLE runs; --");
        QTest::newRow("a statement in a name") << QStringLiteral("program_name") << injection << injection;
        const QString script = QStringLiteral("Прогон 试验 ✓ 🔋");
        QTest::newRow("non-Latin text") << QStringLiteral("message") << script << script;
    }
    void oddTextTravelsWhole()
    {
        QFETCH(QString, column);
        QFETCH(QString, value);
        QFETCH(QString, onServer);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite")),
                      otherPath = dir.filePath(QStringLiteral("other.sqlite"));
        LocalStore local(path), otherBench(otherPath);
        const QString odd = QUuid::createUuid().toString(QUuid::WithoutBraces),
                      plain = QUuid::createUuid().toString(QUuid::WithoutBraces),
                      other = QUuid::createUuid().toString(QUuid::WithoutBraces);
        for (const QString &uuid : {odd, plain}) {
            local.finished(uuid, 10);
        }
        otherBench.begin(other);
        otherBench.samples(other, 10);
        otherBench.end(other);
        QSqlQuery set(local.db());
        set.prepare(QStringLiteral("UPDATE runs SET %1 = ? WHERE uuid = ?").arg(column));
        set.addBindValue(value);
        set.addBindValue(odd);
        QVERIFY2(set.exec(), qPrintable(set.lastError().text()));

        for (const QString &bench : {path, otherPath}) {
            ServerMirror mirror(bench, m_server);
            const ServerMirror::Outcome outcome = mirror.forwardAll();
            QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
            QVERIFY2(outcome.refused.isEmpty(), qPrintable(outcome.refused.value(0).reason));
            QCOMPARE(outcome.runsWaiting, 0);
        }
        QStringList expected = rowsOfRun(local.db(), odd);
        expected.replaceInStrings(value, onServer);
        QCOMPARE(serverRows(odd), expected);
        QCOMPARE(serverRows(plain), rowsOfRun(local.db(), plain));
        QCOMPARE(serverRows(other), rowsOfRun(otherBench.db(), other));
        // A second round finds the run whole: nothing goes again.
        ServerMirror again(path, m_server);
        QCOMPARE(again.forwardAll().runsTouched, 0);
    }

    // A run stored before secrets were blanked at the source still holds them in the bench's file;
    // the lab's server, which everyone who reads the lab's database reads, never gets them.
    void secretsStayOnTheBench()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        local.begin(uuid);
        local.set(uuid, QStringLiteral("settings_text = '%1'").arg(SecretSettings::Text));
        local.samples(uuid, 3);
        local.end(uuid);
        ServerMirror mirror(path, m_server);
        const ServerMirror::Outcome outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty() && outcome.refused.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.runsCompleted, 1);
        const QStringList onServer = serverRows(uuid);
        QVERIFY2(!onServer.join(u'\n').contains(SecretSettings::Secret), qPrintable(onServer.join(u'\n')));
        QVERIFY2(onServer.value(0).contains(SecretSettings::Blanked), qPrintable(onServer.value(0)));
    }

    // A server whose program column is still text keeps each program's bytes.
    void anEarlierServersProgramsBecomeBytes()
    {
        {
            QSqlDatabase admin = m_server.addConnection(QStringLiteral("admin"));
            QVERIFY(admin.open());
            QSqlQuery query(admin);
            QVERIFY(query.exec(QStringLiteral("DROP DATABASE IF EXISTS earlier")));
            QVERIFY2(query.exec(QStringLiteral("CREATE DATABASE earlier")), qPrintable(query.lastError().text()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("admin"));
        StoreServer earlier = m_server;
        earlier.database = QStringLiteral("earlier");
        const QString uuid = QStringLiteral("00000000-0000-4000-8000-0000000000e1");
        const QByteArray program = "header\r\n1,Entladen \xc3\xa4\r\n";
        {
            QSqlDatabase db = earlier.addConnection(QStringLiteral("earlier"));
            QVERIFY(db.open());
            QString error;
            QVERIFY2(StoreSchema::migrate(db, &error) >= 0, qPrintable(error));
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("ALTER TABLE runs ALTER COLUMN program_text TYPE text USING "
                                              "convert_from(program_text, 'UTF8')")));
            QVERIFY(query.exec(QStringLiteral("DROP TABLE run_charts")));
            QVERIFY(query.exec(QStringLiteral("DROP VIEW stations_now, runs_per_day, capacity_per_program")));
            QVERIFY(query.exec(QStringLiteral("DROP TABLE station_states, stations, schema_writers")));
            QVERIFY(query.exec(QStringLiteral("DELETE FROM schema_version WHERE version >= 4")));
            QVERIFY(query.exec(QStringLiteral("DROP TABLE schema_additions")));
            QVERIFY(query.exec(QStringLiteral("ALTER TABLE runs DROP COLUMN sample_count, DROP COLUMN log_path, DROP "
                                              "COLUMN imported_from, DROP COLUMN "
                                              "load_off, DROP COLUMN load_off_address, DROP COLUMN load_off_since, "
                                              "DROP COLUMN load_off_confirmed_at, "
                                              "DROP COLUMN load_off_amps")));
            query.prepare(QStringLiteral("INSERT INTO runs (uuid, program_text, result) VALUES (?, ?, 'PASS')"));
            query.addBindValue(uuid);
            query.addBindValue(QString::fromUtf8(program));
            QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
            QCOMPARE(StoreSchema::migrate(db, &error), 5);
            QVERIFY(query.exec(QStringLiteral("SELECT pg_typeof(program_text)::text, program_text FROM runs")));
            QVERIFY(query.next());
            QCOMPARE(query.value(0).toString(), QStringLiteral("bytea"));
            QCOMPARE(query.value(1).toByteArray(), program);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("earlier"));
        RunArchive archive = RunArchive::server(earlier);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> run = archive.run(uuid, &error);
        QVERIFY2(run, qPrintable(error));
        QCOMPARE(run->programText.toUtf8(), program);
    }

    // The chart history the bench kept at the run's end goes with the run's end, and the server's
    // archive gives it back without reading the samples; a run stored without one goes as before,
    // also from a bench file of the version before charts were kept.
    void aKeptChartGoesWithTheRun_data()
    {
        QTest::addColumn<bool>("kept");
        QTest::addColumn<QStringList>("bench");
        QTest::newRow("a chart kept") << true << QStringList();
        QTest::newRow("none kept") << false << QStringList();
        QTest::newRow("a bench file of version 4")
            << false << QStringList{"DROP TABLE run_charts", "DELETE FROM schema_version WHERE version = 5"};
    }
    void aKeptChartGoesWithTheRun()
    {
        QFETCH(bool, kept);
        QFETCH(QStringList, bench);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        local.finished(uuid, 3000);
        QByteArray chart;
        {
            RunArchive archive = RunArchive::local(path);
            QString error;
            QVERIFY2(archive.open(&error), qPrintable(error));
            const std::optional<StoredRun> run = archive.run(uuid, &error);
            QVERIFY2(run, qPrintable(error));
            const std::optional<ChartHistory> history = archive.chart(
                *run, [] { return false; }, &error);
            QVERIFY2(history, qPrintable(error));
            chart = ChartHistoryBytes::write(*history);
        }
        if (kept) {
            QSqlQuery insert(local.db());
            insert.prepare(QStringLiteral("INSERT INTO run_charts VALUES (?, ?, ?)"));
            for (const QVariant &value : {QVariant(uuid), QVariant(ChartHistoryBytes::Format), QVariant(chart)})
                insert.addBindValue(value);
            QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
        }
        for (const QString &statement : bench) {
            QSqlQuery query(local.db());
            QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
        }

        ServerMirror mirror(path, m_server);
        const ServerMirror::Outcome outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty() && outcome.refused.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.runsCompleted, 1);
        QCOMPARE(serverRows(uuid), rowsOfRun(local.db(), uuid));
        const QVariantList keptOnServer{ChartHistoryBytes::Format, chart};
        QCOMPARE(serverChart(uuid), kept ? keptOnServer : QVariantList());
        // The server's samples gone, the kept chart still draws the run.
        if (kept)
            QVERIFY(onServer({QStringLiteral("DELETE FROM samples WHERE run_uuid = '%1'")}, uuid));
        RunArchive archive = RunArchive::server(m_server);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> run = archive.run(uuid, &error);
        QVERIFY2(run, qPrintable(error));
        const std::optional<ChartHistory> history = archive.chart(
            *run, [] { return false; }, &error);
        QVERIFY2(history, qPrintable(error));
        QCOMPARE(ChartHistoryBytes::write(*history), chart);
    }

    // A table another session holds locked is the server's trouble, not a run's: the round ends
    // within the lock limit, sets nothing aside, and the run goes once the lock is gone.
    void aLockedTableEndsTheRound()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        local.finished(uuid, 5);
        ServerMirror mirror(path, m_server);
        {
            QSqlDatabase locker = m_server.addConnection(QStringLiteral("locker"));
            QVERIFY(locker.open() && locker.transaction());
            QSqlQuery lock(locker);
            QVERIFY(lock.exec(QStringLiteral("LOCK TABLE runs IN ACCESS EXCLUSIVE MODE")));
            QElapsedTimer timer;
            timer.start();
            const ServerMirror::Outcome outcome = mirror.forwardAll();
            qInfo("a round against a locked table ended after %lld ms", timer.elapsed());
            QVERIFY2(outcome.error.contains(QStringLiteral("lock timeout")), qPrintable(outcome.error));
            QVERIFY(outcome.refused.isEmpty());
            QCOMPARE(forwardState(local.db()), QStringList());
            locker.rollback();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("locker"));
        const ServerMirror::Outcome outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(serverRows(uuid), rowsOfRun(local.db(), uuid));
    }

    // What became of a run's off lines reaches the server with the run's end; a later try that
    // finds the load off reaches it as an update of the run it holds already, once.
    void loadOffReachesTheServer_data()
    {
        QTest::addColumn<QString>("atEnd");
        QTest::addColumn<QString>("later");
        const QString address = QStringLiteral("load_off_address = 'TCP 127.0.0.1:5025', ");
        QTest::newRow("confirmed") << "load_off = 'CONFIRMED', " + address
                + "load_off_confirmed_at = '2026-12-07T10:01:05.000', load_off_amps = 0.002"
                                   << QString();
        QTest::newRow("not confirmed") << "load_off = 'UNCONFIRMED', " + address
                + "load_off_since = '2026-12-07T10:01:05.000'"
                                       << QString();
        QTest::newRow("not confirmed, then confirmed")
            << "load_off = 'UNCONFIRMED', " + address + "load_off_since = '2026-12-07T10:01:05.000'"
            << "load_off = 'CONFIRMED', load_off_confirmed_at = '2026-12-07T10:02:35.250', load_off_amps = 0";
    }
    void loadOffReachesTheServer()
    {
        QFETCH(QString, atEnd);
        QFETCH(QString, later);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        local.finished(uuid, 5);
        local.set(uuid, QStringLiteral("sample_count = 5, ") + atEnd);
        ServerMirror mirror(path, m_server);
        ServerMirror::Outcome outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.runsCompleted, 1);
        QCOMPARE(serverRows(uuid), rowsOfRun(local.db(), uuid));
        QVERIFY(mirror.holdsWhole(uuid));
        if (!later.isEmpty()) {
            local.set(uuid, later);
            outcome = mirror.forwardAll();
            QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
            QCOMPARE(outcome.runsTouched, 1);
            QCOMPARE(outcome.runsCompleted, 1);
            QCOMPARE(outcome.samplesSent, qint64(0));
            QCOMPARE(serverRows(uuid), rowsOfRun(local.db(), uuid));
            QVERIFY2(serverRows(uuid).first().contains(QStringLiteral(
                         "|CONFIRMED|TCP 127.0.0.1:5025|2026-12-07T10:01:05.000|2026-12-07T10:02:35.250|0")),
                qPrintable(serverRows(uuid).first()));
            // A bench that starts afresh finds the server up to date too.
            ServerMirror fresh(path, m_server);
            outcome = fresh.forwardAll();
            QVERIFY2(outcome.error.isEmpty() && outcome.runsTouched == 0, qPrintable(outcome.error));
            QVERIFY(fresh.holdsWhole(uuid));
        }
        outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.runsTouched, 0);
        QCOMPARE(forwardState(local.db()), QStringList{uuid + QStringLiteral("|1||0|")});
        QCOMPARE(waitingRuns(path), QStringList());
    }

    // A run with no end (its program killed, or still running) is not waiting once the server holds
    // every sample the bench has of it; samples kept after that round, or its end, make it wait
    // again until the server has them.
    void aRunWithNoEndWaitsOnlyForWhatTheServerLacks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        local.begin(uuid);
        local.samples(uuid, 5);
        QCOMPARE(waitingRuns(path), QStringList{uuid + u'|'});
        ServerMirror mirror(path, m_server);
        ServerMirror::Outcome outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty() && outcome.runsWaiting == 0, qPrintable(outcome.error));
        QVERIFY(!mirror.holdsWhole(uuid));
        QCOMPARE(forwardState(local.db()), QStringList{uuid + QStringLiteral("|2||5|")});
        QCOMPARE(waitingRuns(path), QStringList());
        local.samples(uuid, 3);
        QCOMPARE(waitingRuns(path), QStringList{uuid + u'|'});
        outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty() && outcome.samplesSent == 3, qPrintable(outcome.error));
        QCOMPARE(forwardState(local.db()), QStringList{uuid + QStringLiteral("|2||8|")});
        QCOMPARE(waitingRuns(path), QStringList());
        local.end(uuid);
        QCOMPARE(waitingRuns(path), QStringList{uuid + u'|'});
        outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty() && outcome.runsCompleted == 1, qPrintable(outcome.error));
        QCOMPARE(forwardState(local.db()), QStringList{uuid + QStringLiteral("|1||0|")});
        QCOMPARE(waitingRuns(path), QStringList());
    }

    // A run whose end went in ahead of samples its store could not take goes with what the store
    // has; the samples an import brings later follow it to the server.
    void samplesThatCameLaterFollowTheRun()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        local.finished(uuid, 19);
        local.set(uuid, QStringLiteral("sample_count = 60"));
        ServerMirror mirror(path, m_server);
        ServerMirror::Outcome outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.samplesSent, qint64(19));
        local.samples(uuid, 41);
        local.set(uuid, QStringLiteral("imported_from = '/bench/TestLog/TEMPLOG.CSV'"));
        outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.runsCompleted, 1);
        QCOMPARE(serverRows(uuid), rowsOfRun(local.db(), uuid));
        QCOMPARE(serverRows(uuid).size(), 1 + 2 + 60);
    }

    // A bench of the version before goes on forwarding to a server this version brought up: the
    // server's version for writing stays the one it knows, and its statements as it sends them
    // still fit the tables.
    void anEarlierBenchGoesOnWriting()
    {
        QVERIFY(onServer({}, QString()));
        QSqlDatabase server = m_server.addConnection(QStringLiteral("earlier bench"));
        QVERIFY(server.open());
        {
            QSqlQuery query(server);
            QVERIFY(query.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) && query.next());
            QCOMPARE(query.value(0).toInt(), 6);
            query.prepare(QStringLiteral(
                "INSERT INTO runs (uuid, program_name, program_text, model, rated_current, settings_text, station, "
                "started, ended, result, message) VALUES (?,?,?,?,?,?,?,?,?,?,?) ON CONFLICT (uuid) DO UPDATE SET "
                "program_name = EXCLUDED.program_name,program_text = EXCLUDED.program_text,model = "
                "EXCLUDED.model,rated_current = EXCLUDED.rated_current,settings_text = EXCLUDED.settings_text,station "
                "= "
                "EXCLUDED.station,started = EXCLUDED.started,ended = EXCLUDED.ended,result = EXCLUDED.result,message = "
                "EXCLUDED.message"));
            for (const QVariant &value : {QVariant(QStringLiteral("e0000001-0000-4000-8000-000000000000")),
                     QVariant(QStringLiteral("cell.TSF")), QVariant(QByteArray("StepNo.,Function\r\n")),
                     QVariant(QStringLiteral("6312C")), QVariant(QStringLiteral("60")), QVariant(QString()),
                     QVariant(QStringLiteral("Bench 6")), QVariant(QStringLiteral("2026-12-07T09:00:00.000")),
                     QVariant(QStringLiteral("2026-12-07T09:10:00.000")), QVariant(QStringLiteral("PASS")),
                     QVariant(QString())})
                query.addBindValue(value);
            QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
            QVERIFY2(query.exec(QStringLiteral(
                         "INSERT INTO station_states (station, activity, run_uuid, program, step, steps, row, "
                         "function, v, i, ah, elapsed_s, step_left_s, estimated_end, last_result, heard_at) VALUES "
                         "('Bench 6', 'FINISHED', 'e0000001-0000-4000-8000-000000000000', 'cell.TSF', NULL, NULL, "
                         "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, 'PASS', now()) ON CONFLICT (station) DO "
                         "UPDATE SET activity = EXCLUDED.activity, heard_at = EXCLUDED.heard_at")),
                qPrintable(query.lastError().text()));
        }
        server.close();
        server = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("earlier bench"));
        RunArchive archive = RunArchive::server(m_server);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> run = archive.run(QStringLiteral("e0000001"), &error);
        QVERIFY2(run, qPrintable(error));
        QCOMPARE(run->result, QStringLiteral("PASS"));
        QVERIFY(!run->samplesMade);
        QCOMPARE(run->loadOff.state, LoadOff::State::None);
        const std::optional<QList<StationState>> stations = archive.stations(&error);
        QVERIFY2(stations, qPrintable(error));
        QCOMPARE(stations->size(), 1);
        QCOMPARE(stations->first().loadOff.state, LoadOff::State::None);
    }

    // Each round tells the server whether the station's last run left its load unconfirmed, until
    // a later try confirms it off, and then when.
    void theStationSaysItsLoadOff()
    {
        QTemporaryDir dir;
        ServerMirror mirror(dir.filePath(QStringLiteral("runs.sqlite")), m_server);
        StationStateHolder holder(QStringLiteral("Bench L"), QStringLiteral("0f000000-0000-4000-8000-000000000001"));
        holder.runStarted(QStringLiteral("0000bbbb-0000-4000-8000-000000000001"), QStringLiteral("cell.TSF"), 2);
        LoadOff off;
        off.state = LoadOff::State::Unconfirmed;
        off.address = QStringLiteral("TCP 127.0.0.1:5025");
        off.since = QDateTime(QDate(2026, 12, 7), QTime(10, 1, 5));
        holder.runEnded(QStringLiteral("PASS"), off);
        QString error;
        QVERIFY2(mirror.sendStationState(holder.snapshot(), &error), qPrintable(error));
        QCOMPARE(stationLoadOff(QStringLiteral("Bench L")),
            QStringLiteral("UNCONFIRMED|TCP 127.0.0.1:5025|2026-12-07T10:01:05.000|"));
        off.state = LoadOff::State::Confirmed;
        off.confirmedAt = off.since.addSecs(90);
        holder.loadOffChanged(off);
        QVERIFY2(mirror.sendStationState(holder.snapshot(), &error), qPrintable(error));
        QCOMPARE(stationLoadOff(QStringLiteral("Bench L")),
            QStringLiteral("CONFIRMED|TCP 127.0.0.1:5025|2026-12-07T10:01:05.000|2026-12-07T10:02:35.000"));
        // A new run owes nothing yet.
        holder.runStarted(QStringLiteral("0000bbbb-0000-4000-8000-000000000002"), QStringLiteral("cell.TSF"), 2);
        QVERIFY2(mirror.sendStationState(holder.snapshot(), &error), qPrintable(error));
        QCOMPARE(stationLoadOff(QStringLiteral("Bench L")), QStringLiteral("|||"));
    }

    // A station whose name holds a NUL is still heard: its state is written, with U+FFFD there.
    void aStationWithANulInItsNameIsHeard()
    {
        QTemporaryDir dir;
        ServerMirror mirror(dir.filePath(QStringLiteral("runs.sqlite")), m_server);
        StationStateHolder holder(QStringLiteral("Bench") + QChar(0) + QStringLiteral("N"),
            QStringLiteral("0f000000-0000-4000-8000-000000000003"));
        holder.runStarted(QStringLiteral("0000bbbb-0000-4000-8000-000000000003"), QStringLiteral("it's.TSF"), 2);
        QString error;
        QVERIFY2(mirror.sendStationState(holder.snapshot(), &error), qPrintable(error));
        QCOMPARE(stationLoadOff(QStringLiteral("Bench\uFFFDN")), QStringLiteral("|||"));
    }

    // A server that went down under the connection says so in a notice; the forwarder makes its own
    // message of the lost connection, and the notice never reaches the program's stderr.
    void theServersNoticesStayOffStderr()
    {
        QTemporaryDir dir;
        ServerMirror mirror(dir.filePath(QStringLiteral("runs.sqlite")), m_server);
        StationStateHolder holder(QStringLiteral("Bench W"), QStringLiteral("0f000000-0000-4000-8000-000000000004"));
        QString error;
        QVERIFY2(mirror.sendStationState(holder.snapshot(), &error), qPrintable(error));
        QVERIFY2(m_cluster.stop(true), qPrintable(m_cluster.problem()));
        QVERIFY2(m_cluster.start(), qPrintable(m_cluster.problem()));
        const QString errFile = dir.filePath(QStringLiteral("stderr"));
        fflush(stderr);
        const int savedErr = ::dup(STDERR_FILENO);
        const int file = ::open(QFile::encodeName(errFile).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, STDERR_FILENO);
        const bool firstSent = mirror.sendStationState(holder.snapshot(), &error);
        const bool sent = firstSent || mirror.sendStationState(holder.snapshot(), &error);
        fflush(stderr);
        ::dup2(savedErr, STDERR_FILENO);
        ::close(savedErr);
        ::close(file);
        QVERIFY2(sent, qPrintable(error));
        QFile written(errFile);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray text = written.readAll();
        QVERIFY2(!text.contains("WARNING") && !text.contains("FATAL"), text.constData());
    }

    // Forwarding a long run's backlog, timed.
    void aHundredThousandSamples()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        local.finished(uuid, 100000);
        ServerMirror mirror(path, m_server);
        QElapsedTimer timer;
        timer.start();
        const ServerMirror::Outcome outcome = mirror.forwardAll();
        qInfo("100000 samples forwarded in %lld ms", timer.elapsed());
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.samplesSent, qint64(100000));
        QCOMPARE(serverRows(uuid), rowsOfRun(local.db(), uuid));
    }

private:
    QStringList serverRows(const QString &uuid)
    {
        QStringList rows;
        {
            QSqlDatabase server = m_server.addConnection(QStringLiteral("check"));
            rows = server.open() ? rowsOfRun(server, uuid) : QStringList{server.lastError().text()};
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return rows;
    }

    // load_off|address|since|confirmed at of the station as the lab's view reads it.
    QString stationLoadOff(const QString &station)
    {
        RunArchive archive = RunArchive::server(m_server);
        QString error;
        if (!archive.open(&error))
            return error;
        const std::optional<QList<StationState>> stations = archive.stations(&error);
        if (!stations)
            return error;
        for (const StationState &state : *stations) {
            if (state.station != station)
                continue;
            const LoadOff &off = state.loadOff;
            return QStringList{LoadOffText::stateText(off.state), off.address, LoadOffText::timeText(off.since),
                LoadOffText::timeText(off.confirmedAt)}
                .join(u'|');
        }
        return QStringLiteral("no station ") + station;
    }

    // The format and bytes of the run's chart on the server; none when it holds none.
    QVariantList serverChart(const QString &uuid)
    {
        QVariantList row;
        {
            QSqlDatabase server = m_server.addConnection(QStringLiteral("check"));
            const bool open = server.open();
            QSqlQuery query(server);
            query.prepare(QStringLiteral("SELECT format, chart FROM run_charts WHERE run_uuid = ?"));
            query.addBindValue(uuid);
            if (!open || !query.exec())
                row = {server.lastError().text() + query.lastError().text()};
            else if (query.next())
                row = {query.value(0).toInt(), query.value(1).toByteArray()};
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return row;
    }

    // Each statement with %1 as `uuid`, on the server, whose tables are made first.
    bool onServer(const QStringList &statements, const QString &uuid)
    {
        bool done = true;
        {
            QSqlDatabase server = m_server.addConnection(QStringLiteral("admin"));
            QString error;
            done = server.open() && StoreSchema::migrate(server, &error) >= 0;
            QSqlQuery query(server);
            for (const QString &statement : statements) {
                if (done && !query.exec(QString(statement).replace(QStringLiteral("%1"), uuid))) {
                    qWarning() << statement << query.lastError().text();
                    done = false;
                }
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("admin"));
        return done;
    }

    // uuid | whole | reason | tries | next try, for each run the bench's record names.
    static QStringList forwardState(QSqlDatabase local)
    {
        QSqlQuery query(local);
        if (!query.exec(QStringLiteral("SELECT run_uuid, whole, reason, tries, next_try FROM forward_state")))
            return {query.lastError().text()};
        QStringList rows;
        while (query.next())
            rows.append(QStringList{query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                query.value(3).toString(), query.value(4).toString()}
                            .join(u'|'));
        rows.sort();
        return rows;
    }

    // uuid | refusal of each run `vornic-runs list --waiting` shows.
    static QStringList waitingRuns(const QString &path)
    {
        RunArchive archive = RunArchive::local(path);
        QString error;
        if (!archive.open(&error))
            return {error};
        RunArchive::Filter filter;
        filter.waiting = true;
        QStringList runs;
        for (const StoredRun &run : archive.runs(filter, &error))
            runs.append(run.uuid + u'|' + run.refusal);
        return error.isEmpty() ? runs : QStringList{error};
    }

    // What the server holds when a batch went in but its commit's answer never came back.
    void preload(const QString &localPath, const QString &uuid, int samples)
    {
        QSqlDatabase server = m_server.addConnection(QStringLiteral("early"));
        QVERIFY(server.open());
        QString error;
        QVERIFY2(StoreSchema::migrate(server, &error) >= 0, qPrintable(error));
        QSqlQuery query(server);
        QVERIFY(query.exec(QStringLiteral("INSERT INTO runs (uuid, result) VALUES ('%1', '')").arg(uuid)));
        LocalStore local(localPath);
        QSqlQuery rows(local.db());
        QVERIFY(rows.exec(QStringLiteral("SELECT * FROM samples WHERE seq <= %1").arg(samples)));
        while (rows.next()) {
            QStringList cells{u'\'' + rows.value(0).toString() + u'\''};
            for (int column = 1; column < 9; ++column)
                cells.append(QString::number(rows.value(column).toDouble(), 'g', 17));
            QVERIFY(query.exec(QStringLiteral("INSERT INTO samples VALUES (%1)").arg(cells.join(u','))));
        }
        query = QSqlQuery();
        server.close();
        server = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("early"));
    }

    PgCluster m_cluster;
    StoreServer m_server;
};

QTEST_GUILESS_MAIN(TestRunForwarder)
#include "tst_runforwarder.moc"
