#include "ComparedRuns.h"
#include "PgCluster.h"
#include "ProcessEnd.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "store/KeptStationState.h"
#include "store/RunArchive.h"
#include "store/RunForwarder.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <memory>

namespace {

// Short steps whose times are known, and the same around an OCP whose limits its trip misses.
const QList<QByteArray> Passing{"1,Rest,,,,4,,,,,,,,,,,,,,,,,,,,,,,,,,",
    "2,Discharge,CC,1,0,4,0,,,,,,,,,,,,,,,,,,,,,,,,0,0", "3,Rest,,,,3,,,,,,,,,,,,,,,,,,,,,,,,,,"};
const QList<QByteArray> Failing{"1,Rest,,,,4,,,,,,,,,,,,,,,,,,,,,,,,,,",
    "2,OCP,,,,,,,0,10,0.5,0.6,2,1,,,,,,,,,,,,,,,,,,", "3,Rest,,,,4,,,,,,,,,,,,,,,,,,,,,,,,,,"};

// The test's own record of every round a station's state reached the server, by the server's clock.
const QStringList HeardLog{
    QStringLiteral("CREATE TABLE heard (station TEXT, activity TEXT, run_uuid TEXT, step INTEGER, last_result TEXT, "
                   "heard_at TIMESTAMPTZ)"),
    QStringLiteral("CREATE FUNCTION log_heard() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN INSERT INTO heard "
                   "VALUES (NEW.station, NEW.activity, NEW.run_uuid, NEW.step, NEW.last_result, NEW.heard_at); "
                   "RETURN NEW; END $$"),
    QStringLiteral("CREATE TRIGGER heard AFTER INSERT OR UPDATE ON stations FOR EACH ROW EXECUTE FUNCTION "
                   "log_heard()")};

struct Station
{
    QString name;
    QTemporaryDir dir;
    std::unique_ptr<SimProcess> sim;
    QProcess runner;
    // Taken at its start: once the runner has ended its id is 0, and kill(0) would end the test run.
    pid_t pid = 0;

    QString ini() const { return dir.filePath(QStringLiteral("VORN.INI")); }
    QString store() const { return dir.filePath(QStringLiteral("runs.sqlite")); }
};

struct Round
{
    QString activity, runUuid, lastResult;
    int step = 0;
    QDateTime heardAt;
};

// The station's own times of its run: its start, each step's start, its end.
struct RunTimes
{
    QString uuid, result;
    QDateTime started, ended;
    QList<QDateTime> steps;
};

QDateTime localIso(const QVariant &text) { return QDateTime::fromString(text.toString(), Qt::ISODateWithMs); }

RunTimes runTimes(const QString &storePath)
{
    RunTimes times;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(storePath);
        if (db.open()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SELECT uuid, result, started, ended FROM runs"));
            if (query.next())
                times = {query.value(0).toString(), query.value(1).toString(), localIso(query.value(2)),
                    localIso(query.value(3)), {}};
            query.exec(QStringLiteral("SELECT started FROM steps ORDER BY step"));
            while (query.next())
                times.steps.append(localIso(query.value(0)));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return times;
}

// How long after `event` the first round that `shows` reached the server, and how many rounds
// before it went without; none when no round showed it.
struct Seen
{
    qint64 ms = -1;
    int roundsWithout = 0;
};

Seen firstShowing(const QList<Round> &rounds, const QDateTime &event, const std::function<bool(const Round &)> &shows)
{
    Seen seen;
    for (const Round &round : rounds) {
        if (round.heardAt < event)
            continue;
        if (shows(round)) {
            seen.ms = event.msecsTo(round.heardAt);
            return seen;
        }
        ++seen.roundsWithout;
    }
    return seen;
}

qint64 longest(QList<qint64> values) { return values.isEmpty() ? -1 : *std::max_element(values.begin(), values.end()); }

} // namespace

// What the lab's server knows of its stations: their state as vornic-run stations send it, the
// views a lab's dashboard reads, and vornic-runs lab.
class TestLabState : public QObject
{
    Q_OBJECT

    PgCluster m_cluster;
    QTemporaryDir m_dir;
    std::optional<RunArchive> m_lab;

    StoreServer server() const { return m_cluster.server(); }

    // Each statement on the server; the first error, or "".
    QString onServer(const QStringList &statements, QList<QStringList> *rows = nullptr)
    {
        QString error;
        {
            QSqlDatabase db = server().addConnection(QStringLiteral("check"));
            if (!db.open())
                error = db.lastError().text();
            QSqlQuery query(db);
            for (const QString &statement : statements) {
                if (!error.isEmpty())
                    break;
                if (!query.exec(statement))
                    error = query.lastError().text();
                while (rows && query.next()) {
                    QStringList row;
                    for (int column = 0; column < query.record().count(); ++column)
                        row.append(query.value(column).toString());
                    rows->append(row);
                }
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return error;
    }

    // Opened once, as the window keeps it.
    std::optional<QList<StationState>> readStations(QString *error)
    {
        if (!m_lab) {
            m_lab.emplace(RunArchive::server(server()));
            if (!m_lab->open(error)) {
                m_lab.reset();
                return std::nullopt;
            }
        }
        return m_lab->stations(error);
    }

    // A station heard 2 s ago in its second step, one last heard 14 s ago in a run after a failed
    // one, and one whose run passed 30 s ago, its load not confirmed off, and which has gone since.
    QStringList seeded(const QStringList &then = {})
    {
        return QStringList{"DELETE FROM station_states", "DELETE FROM stations",
                   "INSERT INTO station_states (station, activity, run_uuid, program, step, steps, row, function, "
                   "v, i, ah, elapsed_s, step_left_s, heard_at) VALUES ('Bench A', 'RUNNING', 'a', '/p/cell.TSF', 2, "
                   "3, 2, 'Discharge', 3.7, 1, 0.25, 75, 12.5, now() - interval '2 s')",
                   "INSERT INTO station_states (station, activity, run_uuid, last_result, heard_at) VALUES "
                   "('Bench B', 'RUNNING', 'b', 'FAIL', now() - interval '14 s')",
                   "INSERT INTO station_states (station, activity, run_uuid, last_result, load_off, "
                   "load_off_address, load_off_since, heard_at) VALUES ('Bench C', 'FINISHED', 'c', 'PASS', "
                   "'UNCONFIRMED', 'TCP 10.0.0.9:5025', '2026-12-07T10:01:05.000', now() - interval '30 s')"}
        + then;
    }

    // "ACTIVITY RESULT" of `station` on the server; "" when the server cannot say.
    QString stateOf(const QString &station)
    {
        QList<QStringList> rows;
        const QString error = onServer({QStringLiteral("SELECT activity || ' ' || COALESCE(last_result, '') FROM "
                                                       "stations_now WHERE station = '%1'")
                                               .arg(station)},
            &rows);
        return error.isEmpty() && rows.size() == 1 ? rows.first().first() : QString();
    }

    QString labSettings()
    {
        const QString ini = m_dir.filePath(QStringLiteral("LAB.INI"));
        TestFiles::writeBytes(ini, m_cluster.storeSettings());
        return ini;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_cluster.problem().isEmpty())
            QSKIP(qPrintable(m_cluster.problem()));
        const QString bench = m_dir.filePath(QStringLiteral("runs.sqlite"));
        ComparedRuns::writeBench(bench);
        ComparedRuns::forward(bench, m_cluster);
    }

    void views_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::newRow("runs per day") << "SELECT day, result, runs FROM runs_per_day ORDER BY day"
                                      << QList<QStringList>{{"2026-05-01", "PASS", "1"}, {"2026-05-02", "FAIL", "1"},
                                             {"2026-05-03", "STOPPED", "1"}, {"2026-05-04", "PASS", "1"},
                                             {"2026-05-05", "UNFINISHED", "1"}};
        // Benches keep their copy of a program where each likes: the file's name is the program.
        QTest::newRow("capacity per program: finished runs, their steps' Ah")
            << "SELECT program, runs, round(mean_ah::numeric, 4)::text, min_ah, max_ah FROM capacity_per_program "
               "ORDER BY program"
            << QList<QStringList>{
                   {"cell, 2p.TSF", "1", "1.3000", "1.3", "1.3"}, {"cell.TSF", "3", "0.8333", "0.5", "1.1"}};
        QTest::newRow("stations now: silent after 10 s, unless its run has ended")
            << "SELECT station, silent, round(silent_seconds) FROM stations_now ORDER BY station"
            << QList<QStringList>{{"Bench A", "false", "2"}, {"Bench B", "true", "14"}, {"Bench C", "false", "30"}};
    }
    void views()
    {
        QFETCH(QString, query);
        QFETCH(QList<QStringList>, rows);
        QList<QStringList> found;
        QCOMPARE(onServer(seeded({query}), &found), QString());
        QCOMPARE(found, rows);
    }

    void stationsAsTheWindowReadsThem()
    {
        QCOMPARE(onServer(seeded()), QString());
        QString error;
        const std::optional<QList<StationState>> lab = readStations(&error);
        QVERIFY2(lab, qPrintable(error));
        QCOMPARE(lab->size(), 3);
        const StationState &a = lab->at(0), &b = lab->at(1), &c = lab->at(2);
        QCOMPARE(a.station, QStringLiteral("Bench A"));
        QVERIFY(a.activity == StationState::Activity::Running && !a.isSilent());
        QCOMPARE(QList<double>({double(a.step), double(a.steps), a.volts, a.runAmpHours, *a.stepSecondsLeft}),
            QList<double>({2, 3, 3.7, 0.25, 12.5}));
        QVERIFY(b.activity == StationState::Activity::Running && b.isSilent() && std::isnan(b.volts));
        QCOMPARE(b.lastResult, QStringLiteral("FAIL"));
        QVERIFY(c.activity == StationState::Activity::Finished && !c.isSilent() && c.silentSeconds > 29);
        QVERIFY(a.loadOff.state == LoadOff::State::None && b.loadOff.state == LoadOff::State::None);
        QVERIFY(c.loadOff.unconfirmed());
        QCOMPARE(c.loadOff.address, QStringLiteral("TCP 10.0.0.9:5025"));
        QCOMPARE(c.loadOff.since, QDateTime(QDate(2026, 12, 7), QTime(10, 1, 5)));

        RunArchive bench = RunArchive::local(m_dir.filePath(QStringLiteral("runs.sqlite")));
        QVERIFY(bench.open(&error));
        QVERIFY(!bench.stations(&error));
        QVERIFY2(error.contains(QStringLiteral("only the lab's server knows them")), qPrintable(error));
    }

    void labCommand_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("withServer");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines");
        // Each line: the fragments one line of the output holds.
        QTest::newRow("a row per station, the silent one said so")
            << QStringList{"lab"} << true << 0
            << QStringList{"STATION|STATE|PROGRAM|STEP|ELAPSED|LEFT|ENDS|LAST|LOAD OFF|HEARD",
                   "Bench A|RUNNING|cell.TSF|2/3 Discharge|3.700|1.000|0.2500|0:01:15|12.5 s",
                   "Bench B|SILENT 1|FAIL|s ago", "Bench C|FINISHED|PASS  NOT CONFIRMED since 10:01:05  3"};
        QTest::newRow("no server named") << QStringList{"lab"} << false << 1
                                         << QStringList{"vornic-runs: |names no server"};
        QTest::newRow("no store to read")
            << QStringList{"--store", "x.sqlite", "lab"} << true << 2 << QStringList{"leave out --store"};
    }
    void labCommand()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, withServer);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        QCOMPARE(onServer(seeded()), QString());
        const QString ini = withServer ? labSettings() : m_dir.filePath(QStringLiteral("NONE.INI"));
        QProcess runs;
        runs.start(TestFiles::binary("vornic-runs"), QStringList{"--settings", ini} + arguments);
        QVERIFY(waitForEnd(runs));
        QCOMPARE(runs.exitCode(), exitCode);
        const QStringList output
            = QString::fromUtf8(runs.readAllStandardOutput() + runs.readAllStandardError()).split(u'\n');
        for (const QString &line : lines) {
            const QStringList fragments = line.split(u'|');
            QVERIFY2(std::any_of(output.begin(), output.end(),
                         [&](const QString &printed) {
                             return std::all_of(fragments.begin(), fragments.end(),
                                 [&](const QString &fragment) { return printed.contains(fragment); });
                         }),
                qPrintable(line + u'\n' + output.join(u'\n')));
        }
    }

    // --watch prints the stations again and again until it is told to end, and ends well.
    void labCommandWatches()
    {
        QCOMPARE(onServer(seeded()), QString());
        QProcess runs;
        runs.start(TestFiles::binary("vornic-runs"), {"--settings", labSettings(), "lab", "--watch"});
        QByteArray printed;
        QTRY_VERIFY_WITH_TIMEOUT((printed += runs.readAllStandardOutput()).count("Bench B") >= 2, 60000);
        QVERIFY(runs.state() != QProcess::NotRunning);
        ::kill(pid_t(runs.processId()), SIGTERM);
        QVERIFY(waitForEnd(runs));
        QCOMPARE(runs.exitStatus(), QProcess::NormalExit);
        QCOMPARE(runs.exitCode(), 0);
    }

    // A server that goes down under the watch tells its sessions so in a warning: the screen says
    // the server could not be read, in its own words, and the warning shows nowhere raw.
    void labWatchKeepsTheServersNoticesOff()
    {
        QCOMPARE(onServer(seeded()), QString());
        QProcess runs;
        runs.start(TestFiles::binary("vornic-runs"), {"--settings", labSettings(), "lab", "--watch"});
        QByteArray printed;
        QTRY_VERIFY_WITH_TIMEOUT((printed += runs.readAllStandardOutput()).contains("Bench B"), 60000);
        QVERIFY2(m_cluster.stop(true), qPrintable(m_cluster.problem()));
        QVERIFY2(m_cluster.start(), qPrintable(m_cluster.problem()));
        // The window's connection went with the server too: the next reading makes a new one.
        m_lab.reset();
        printed.clear();
        // The reading that finds the connection gone, then one on a new connection.
        QTRY_VERIFY_WITH_TIMEOUT((printed += runs.readAllStandardOutput()).contains("vornic-runs: ")
                && printed.mid(printed.lastIndexOf("vornic-runs: ")).contains("Bench B"),
            60000);
        ::kill(pid_t(runs.processId()), SIGTERM);
        QVERIFY(waitForEnd(runs));
        printed += runs.readAllStandardOutput();
        const QByteArray errors = runs.readAllStandardError();
        QVERIFY2(!errors.contains("WARNING") && !printed.contains("WARNING"), (errors + printed).constData());
    }

    // A station whose run ends while the server is away: its result reaches the server once it is
    // back, through the forwarder still running, the next one on the bench, or vornic-runs forward,
    // with no one telling it to.
    void aFinishedStationShowsItsResultOnceTheServerIsBack_data()
    {
        QTest::addColumn<QString>("through");
        QTest::newRow("the window's forwarder") << QStringLiteral("window");
        QTest::newRow("the next forwarder on the bench") << QStringLiteral("next");
        QTest::newRow("vornic-runs forward") << QStringLiteral("forward");
    }
    void aFinishedStationShowsItsResultOnceTheServerIsBack()
    {
        QFETCH(QString, through);
        QTemporaryDir bench;
        const QString station = QStringLiteral("Ending ") + through;
        const QString store = bench.filePath(QStringLiteral("runs.sqlite"));
        const QString ini = bench.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, m_cluster.storeSettings() + "Station=" + station.toUtf8() + "\r\n");
        auto forwarder = std::make_unique<RunForwarder>(store, server(), station);
        QSignalSpy problems(forwarder.get(), &RunForwarder::problem);
        forwarder->stationState().runStarted(QStringLiteral("ending-") + through, QStringLiteral("/p/short.TSF"), 3);
        forwarder->sendStateSoon();
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(station), QStringLiteral("RUNNING "), 60000);
        QVERIFY2(m_cluster.stop(), qPrintable(m_cluster.problem()));
        const auto restart = qScopeGuard([&] {
            m_cluster.start();
            m_lab.reset();
        });
        forwarder->stationState().runEnded(QStringLiteral("FAIL"), LoadOff());
        forwarder->sendStateSoon();
        QTRY_VERIFY_WITH_TIMEOUT(problems.size() == 1, 60000);
        QVERIFY2(problems.first().first().toString().contains(QStringLiteral("Runs are kept on this bench")),
            qPrintable(problems.first().first().toString()));
        bool sent = true;
        QTRY_VERIFY_WITH_TIMEOUT(KeptStationState(store).read(&sent).has_value(), 60000);
        QCOMPARE(KeptStationState(store).read()->lastResult, QStringLiteral("FAIL"));
        QVERIFY(!sent);
        if (through != u"window")
            forwarder.reset();
        QVERIFY2(m_cluster.start(), qPrintable(m_cluster.problem()));
        // The lab's reader kept its connection to the server that went away.
        m_lab.reset();
        if (through == u"next")
            forwarder = std::make_unique<RunForwarder>(store, server(), station);
        if (through == u"forward") {
            QProcess runs;
            runs.start(TestFiles::binary("vornic-runs"), {"--settings", ini, "forward"});
            QVERIFY(waitForEnd(runs));
            QVERIFY2(runs.exitCode() == 0, runs.readAllStandardError().constData());
            QCOMPARE(stateOf(station), QStringLiteral("FINISHED FAIL"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(station), QStringLiteral("FINISHED FAIL"), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(KeptStationState(store).read(&sent) && sent, 60000);
        if (through == u"window")
            QTRY_VERIFY_WITH_TIMEOUT(problems.size() == 2, 60000);
        if (through == u"window")
            QVERIFY2(problems.last().first().toString().contains(QStringLiteral("can be reached again")),
                qPrintable(problems.last().first().toString()));
    }

    // A server that refuses the station's state still takes its runs from vornic-runs forward,
    // which then says why the state did not go, and keeps it to be sent again.
    void forwardSendsTheRunsWhenTheStateIsRefused()
    {
        QTemporaryDir bench;
        const QString store = bench.filePath(QStringLiteral("runs.sqlite"));
        const QString ini = bench.filePath(QStringLiteral("VORN.INI"));
        ComparedRuns::writeBench(store);
        TestFiles::writeBytes(ini, m_cluster.storeSettings() + "Station=Refused bench\r\n");
        StationState finished;
        finished.activity = StationState::Activity::Finished;
        finished.runUuid = QStringLiteral("refused-state");
        finished.lastResult = QStringLiteral("PASS");
        QCOMPARE(KeptStationState(store).keep(finished), QString());
        QCOMPARE(onServer({"DELETE FROM steps", "DELETE FROM run_charts", "DELETE FROM samples", "DELETE FROM runs",
                     "CREATE FUNCTION refuse_state() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION "
                     "'no state from %', NEW.station; END $$",
                     "CREATE TRIGGER refuse_state BEFORE INSERT OR UPDATE ON stations FOR EACH ROW WHEN "
                     "(NEW.station = 'Refused bench') EXECUTE FUNCTION refuse_state()"}),
            QString());
        const auto dropTrigger = qScopeGuard([&] {
            onServer({"DROP TRIGGER refuse_state ON stations", "DROP FUNCTION refuse_state"});
        });
        QProcess runs;
        runs.start(TestFiles::binary("vornic-runs"), {"--settings", ini, "forward"});
        QVERIFY(waitForEnd(runs));
        const QByteArray output = runs.readAllStandardOutput() + runs.readAllStandardError();
        QVERIFY2(runs.exitCode() == 1 && output.contains("the server holds every run")
                && output.contains("no state from Refused bench"),
            output.constData());
        QList<QStringList> count;
        QCOMPARE(onServer({"SELECT COUNT(*) FROM runs"}, &count), QString());
        QCOMPARE(count, QList<QStringList>{{QStringLiteral("5")}});
        bool sent = true;
        QVERIFY(KeptStationState(store).read(&sent) && !sent);
    }

    // A station whose run's samples another session keeps locked for 30 s goes on being heard: its
    // state never waits for its runs.
    void aStationWhoseSamplesAreLockedIsNeverSilent()
    {
        QTemporaryDir bench;
        const QString station = QStringLiteral("Locked out");
        const QString store = bench.filePath(QStringLiteral("runs.sqlite"));
        ComparedRuns::writeBench(store);
        QCOMPARE(onServer({"DELETE FROM steps", "DELETE FROM run_charts", "DELETE FROM samples", "DELETE FROM runs"}),
            QString());
        QSqlDatabase locker = server().addConnection(QStringLiteral("locker"));
        const auto cleanUp = qScopeGuard([&] {
            locker.close();
            locker = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("locker"));
        });
        QVERIFY2(locker.open() && locker.transaction(), qPrintable(locker.lastError().text()));
        QSqlQuery lock(locker);
        QVERIFY2(lock.exec(QStringLiteral("LOCK TABLE samples IN ACCESS EXCLUSIVE MODE")),
            qPrintable(lock.lastError().text()));
        QElapsedTimer locked;
        locked.start();
        RunForwarder forwarder(store, server(), station);
        QSignalSpy problems(&forwarder, &RunForwarder::problem);
        forwarder.stationState().runStarted(QStringLiteral("locked-out"), QStringLiteral("/p/long.TSF"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(station), QStringLiteral("RUNNING "), 60000);
        // The runs cannot go meanwhile, and the bench says so.
        QTRY_VERIFY_WITH_TIMEOUT(problems.size() == 1, 60000);
        QStringList silent;
        QVERIFY(QTest::qWaitFor(
            [&] {
                QList<QStringList> rows;
                onServer({QStringLiteral("SELECT silent::text, round(silent_seconds)::text FROM stations_now WHERE "
                                         "station = 'Locked out'")},
                    &rows);
                if (rows.size() == 1 && rows.first().first() == u"true")
                    silent.append(rows.first().last());
                return locked.elapsed() >= 30000;
            },
            120000));
        QVERIFY2(silent.isEmpty(), qPrintable(silent.join(u' ')));
        QVERIFY2(problems.first().first().toString().contains(QStringLiteral("lock")),
            qPrintable(problems.first().first().toString()));
        QVERIFY(locker.rollback());
        // Once the lock is gone the runs go, the lab's own among them again.
        QTRY_VERIFY_WITH_TIMEOUT(problems.size() == 2, 60000);
        QVERIFY2(problems.last().first().toString().contains(QStringLiteral("can be reached again")),
            qPrintable(problems.last().first().toString()));
    }

    // Eight stations, one killed mid-run and one whose run fails: each round of each reaches the
    // server, and the lab sees every start, step and end by the next round the station makes.
    void eightStations()
    {
        QCOMPARE(onServer(QStringList{"DELETE FROM station_states", "DELETE FROM stations"} + HeardLog), QString());
        constexpr int Count = 8, Failed = 3, Killed = 7;
        std::vector<std::unique_ptr<Station>> stations;
        for (int n = 0; n < Count; ++n) {
            auto &station = *stations.emplace_back(std::make_unique<Station>());
            station.name = QStringLiteral("Station %1").arg(n + 1);
            station.sim
                = std::make_unique<SimProcess>(QStringList{"--tcp", "0", "--source", "supply", "--speed", "10"});
            QVERIFY(station.sim->waitForAnnouncements(1));
            TestFiles::writeBytes(station.ini(),
                TestFiles::lanLoadSettings(station.sim->port(QStringLiteral("load"))) + m_cluster.storeSettings()
                    + "Station=" + station.name.toUtf8() + "\r\n");
            const QString program = station.dir.filePath(QStringLiteral("short.TSF"));
            TestFiles::writeBytes(
                program, TestFiles::crlfLines(QList<QByteArray>{"header"} + (n == Failed ? Failing : Passing)));
            station.runner.start(TestFiles::binary("vornic-run"),
                {"--settings", station.ini(), "--log", station.dir.filePath(QStringLiteral("run.CSV")), program});
            QVERIFY(station.runner.waitForStarted());
            station.pid = pid_t(station.runner.processId());
        }

        // Through what the window reads: every station running, then one killed in its second step.
        QSet<QString> seenRunning;
        QHash<QString, StationState> last;
        // The first step in which each station's end was foretold.
        QHash<QString, int> endForetold;
        const auto look = [&] {
            QString error;
            const std::optional<QList<StationState>> now = readStations(&error);
            for (const StationState &state : now.value_or(QList<StationState>())) {
                last.insert(state.station, state);
                if (state.activity == StationState::Activity::Running)
                    seenRunning.insert(state.station);
                if (state.estimatedEnd.isValid())
                    endForetold.insert(state.station, std::min(endForetold.value(state.station, 3), state.step));
            }
            return now.has_value();
        };
        QTRY_VERIFY_WITH_TIMEOUT(look() && seenRunning.size() == Count, 120000);
        Station &killed = *stations.at(Killed);
        QTRY_VERIFY_WITH_TIMEOUT(look() && last.value(killed.name).step >= 2, 120000);
        QVERIFY(killed.runner.state() != QProcess::NotRunning);
        ::kill(killed.pid, SIGKILL);
        const QDateTime killedAt = QDateTime::currentDateTime();
        QVERIFY(waitForEnd(killed.runner));
        QTRY_VERIFY_WITH_TIMEOUT(look() && last.value(killed.name).isSilent(), 120000);
        const qint64 killToSilentMs = killedAt.msecsTo(QDateTime::currentDateTime());
        QVERIFY(last.value(killed.name).heardAt <= killedAt);
        for (auto &station : stations)
            QVERIFY(waitForEnd(station->runner));
        QTRY_VERIFY_WITH_TIMEOUT(look()
                && std::all_of(stations.begin(), stations.end(),
                    [&](const auto &station) {
                        return station.get() == &killed
                            || last.value(station->name).activity == StationState::Activity::Finished;
                    }),
            60000);

        QList<QStringList> heard;
        QCOMPARE(onServer({"SELECT station, activity, COALESCE(run_uuid, ''), COALESCE(step, 0), "
                           "COALESCE(last_result, ''), (EXTRACT(EPOCH FROM heard_at) * 1000)::BIGINT FROM heard "
                           "ORDER BY heard_at"},
                     &heard),
            QString());
        QHash<QString, QList<Round>> rounds;
        for (const QStringList &row : heard)
            rounds[row.at(0)].append({row.at(1), row.at(2), row.at(4), row.at(3).toInt(),
                QDateTime::fromMSecsSinceEpoch(row.at(5).toLongLong())});
        QList<qint64> startMs, stepMs, endMs;
        for (int n = 0; n < Count; ++n) {
            const Station &station = *stations.at(n);
            const QList<Round> &its = rounds.value(station.name);
            const RunTimes run = runTimes(station.store());
            // A round starts before the event it misses may end after it: the next one has it.
            const auto check = [&](const QDateTime &event, const std::function<bool(const Round &)> &shows,
                                   QList<qint64> &into, const char *what) {
                const Seen seen = firstShowing(its, event, shows);
                QVERIFY2(seen.ms >= 0 && seen.roundsWithout <= 1,
                    qPrintable(
                        QStringLiteral("%1 %2: %3 rounds without").arg(station.name, what).arg(seen.roundsWithout)));
                into.append(seen.ms);
            };
            check(
                run.started,
                [&](const Round &round) { return round.activity == u"RUNNING" && round.runUuid == run.uuid; }, startMs,
                "start");
            // A killed run keeps no steps: only its start and its last round are known.
            if (n == Killed) {
                QVERIFY(
                    std::none_of(its.begin(), its.end(), [&](const Round &round) { return round.heardAt > killedAt; }));
                continue;
            }
            QCOMPARE(run.steps.size(), 3);
            check(
                run.steps.at(1), [](const Round &round) { return round.step >= 2; }, stepMs, "step 2");
            check(
                run.steps.at(2), [](const Round &round) { return round.step >= 3 || round.activity != u"RUNNING"; },
                stepMs, "step 3");
            QCOMPARE(run.result, QString::fromLatin1(n == Failed ? "FAIL" : "PASS"));
            // An OCP ends on the load's own test: the end is known only after it.
            QVERIFY2(n == Failed ? endForetold.value(station.name, 3) == 3 : endForetold.contains(station.name),
                qPrintable(station.name));
            QCOMPARE(last.value(station.name).lastResult, run.result);
            check(
                run.ended,
                [&](const Round &round) { return round.activity == u"FINISHED" && round.lastResult == run.result; },
                endMs, "end");
        }
        qInfo("start seen after at most %lld ms, a step change after at most %lld ms, a run's end after at most %lld "
              "ms; the killed station read as silent %lld ms after its kill",
            longest(startMs), longest(stepMs), longest(endMs), killToSilentMs);
    }
};

QTEST_GUILESS_MAIN(TestLabState)
#include "tst_labstate.moc"
