#include "PgCluster.h"
#include "ProcessEnd.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "store/StoreServer.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

namespace {

struct Station
{
    QTemporaryDir dir;
    std::unique_ptr<SimProcess> sim;
    QProcess runner;

    QString ini() const { return dir.filePath(QStringLiteral("VORN.INI")); }
    QString store() const { return dir.filePath(QStringLiteral("runs.sqlite")); }
};

// A run of one Discharge step of `seconds`, sampled every 100 ms.
void prepare(Station &station, const QByteArray &storeSection, int seconds)
{
    station.sim = std::make_unique<SimProcess>(QStringList{"--tcp", "0", "--source", "supply", "--speed", "10"});
    QVERIFY(station.sim->waitForAnnouncements(1));
    TestFiles::writeBytes(station.ini(),
        TestFiles::lanLoadSettings(station.sim->port(QStringLiteral("load")), QStringLiteral("100")) + storeSection);
    const QString program = station.dir.filePath(QStringLiteral("discharge.TSF"));
    TestFiles::writeBytes(program,
        TestFiles::crlfLines(
            {"header", "1,Discharge,CC,2,0," + QByteArray::number(seconds) + ",0" + QByteArray(24, ',') + "0,0"}));
    station.runner.setProcessChannelMode(QProcess::SeparateChannels);
    station.runner.start(TestFiles::binary("vornic-run"),
        {"--settings", station.ini(), "--log", station.dir.filePath(QStringLiteral("run.CSV")), program});
    QVERIFY(station.runner.waitForStarted());
}

// uuid | result | samples | steps, for each run of a store.
QStringList runsIn(QSqlDatabase db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT uuid, result, (SELECT COUNT(*) FROM samples s WHERE s.run_uuid = r.uuid), "
                                   "(SELECT MAX(seq) FROM samples s WHERE s.run_uuid = r.uuid), (SELECT COUNT(*) "
                                   "FROM steps t WHERE t.run_uuid = r.uuid) FROM runs r ORDER BY uuid")))
        return {query.lastError().text()};
    QStringList runs;
    while (query.next())
        runs.append(QStringList{query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
            query.value(3).toString(), query.value(4).toString()}
                        .join(u'|'));
    return runs;
}

// Every row of every run a store holds, each value as text (numbers to their last bit, bytes in
// hex), ordered alike on the bench and on the server.
QStringList everyRow(QSqlDatabase db)
{
    const QStringList queries{QStringLiteral("SELECT uuid, program_name, program_text, model, rated_current, "
                                             "settings_text, station, started, ended, result, message, sample_count, "
                                             "log_path, imported_from, load_off, load_off_address, load_off_since, "
                                             "load_off_confirmed_at, load_off_amps FROM runs ORDER BY uuid"),
        QStringLiteral("SELECT run_uuid, step, function, started, seconds, end_reason, verdict, value, ah, wh, v, i "
                       "FROM steps ORDER BY run_uuid, step"),
        QStringLiteral("SELECT run_uuid, seq, elapsed_s, v, i, w, ah, wh, step FROM samples ORDER BY run_uuid, seq"),
        QStringLiteral("SELECT run_uuid, format, chart FROM run_charts ORDER BY run_uuid")};
    QStringList rows;
    for (const QString &sql : queries) {
        QSqlQuery query(db);
        if (!query.exec(sql))
            return {query.lastError().text()};
        while (query.next()) {
            QStringList cells;
            for (int column = 0; column < query.record().count(); ++column) {
                const QVariant value = query.value(column);
                if (value.isNull())
                    cells.append(QStringLiteral("NULL"));
                else if (query.record().fieldName(column) == u"program_text")
                    // Text on the bench, its UTF-8 bytes on the server.
                    cells.append(QString::fromUtf8(value.toByteArray()));
                else if (value.typeId() == QMetaType::QByteArray)
                    cells.append(QString::fromLatin1(value.toByteArray().toHex()));
                else if (value.typeId() == QMetaType::Double)
                    cells.append(QString::number(value.toDouble(), 'g', 17));
                else
                    cells.append(value.toString());
            }
            rows.append(cells.join(u'|'));
        }
    }
    return rows;
}

QStringList runsIn(const QString &connection, const std::function<QSqlDatabase()> &make)
{
    QStringList runs;
    {
        QSqlDatabase db = make();
        if (!db.open())
            return {db.lastError().text()};
        runs = runsIn(db);
    }
    QSqlDatabase::removeDatabase(connection);
    return runs;
}

} // namespace

// Stations of a lab, each a vornic-run against its own virtual load, forwarding to one PostgreSQL
// server of the test's own.
class TestLabStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_cluster.problem().isEmpty())
            QSKIP(qPrintable(m_cluster.problem()));
    }

    // The server is locked, frozen and killed in the middle of eight runs, and comes back each
    // time: with no command typed, each run reaches it whole and once by the time its runner has
    // ended, the runs themselves untouched; each station's state is its run's end; and no running
    // station ever read as silent.
    void eightStationsAndAServerThatGoesAway()
    {
        constexpr int Stations = 8;
        std::vector<std::unique_ptr<Station>> stations;
        for (int n = 0; n < Stations; ++n) {
            stations.push_back(std::make_unique<Station>());
            prepare(*stations.back(), m_cluster.storeSettings() + "Station=Bench " + QByteArray::number(n + 1) + "\r\n",
                24);
        }
        const auto onLab = [&] { return server().addConnection(QStringLiteral("lab")); };
        QSet<QString> silent;
        // A frozen server would hold the look itself.
        bool frozen = false;
        // Every station heard from within 10 s while it runs, whenever the server can say.
        const auto look = [&] {
            if (frozen)
                return true;
            QSqlDatabase watch = QSqlDatabase::database(QStringLiteral("watch"), false);
            if (!watch.isValid())
                watch = server().addConnection(QStringLiteral("watch"));
            if (!watch.isOpen() && !watch.open())
                return true;
            QSqlQuery query(watch);
            if (!query.exec(QStringLiteral("SELECT station FROM stations_now WHERE silent")))
                watch.close();
            while (query.next())
                silent.insert(query.value(0).toString());
            return true;
        };
        const auto cleanUp = qScopeGuard([] { QSqlDatabase::removeDatabase(QStringLiteral("watch")); });
        QTRY_VERIFY_WITH_TIMEOUT(look() && runsIn(QStringLiteral("lab"), onLab).size() == Stations, 120000);
        // The first station's log as the clock: a row every 100 ms.
        const QString clockLog = stations.front()->dir.filePath(QStringLiteral("run.CSV"));
        const auto rows = [&] { return TestFiles::readBytes(clockLog).count('\n'); };
        const auto forSeconds = [&](int seconds) {
            const qsizetype from = rows();
            return QTest::qWaitFor([&] { return look() && rows() >= from + 10 * seconds; }, 60000);
        };
        {
            QSqlDatabase locker = server().addConnection(QStringLiteral("locker"));
            QVERIFY2(locker.open() && locker.transaction(), qPrintable(locker.lastError().text()));
            QSqlQuery lock(locker);
            QVERIFY2(lock.exec(QStringLiteral("LOCK TABLE samples IN ACCESS EXCLUSIVE MODE")),
                qPrintable(lock.lastError().text()));
            // Longer than the forwarding's lock wait.
            QVERIFY(forSeconds(4));
            QVERIFY(locker.rollback());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("locker"));
        frozen = true;
        QVERIFY(m_cluster.signalAll(SIGSTOP));
        const bool frozenTwoSeconds = forSeconds(2);
        QVERIFY(m_cluster.signalAll(SIGCONT));
        frozen = false;
        QVERIFY(frozenTwoSeconds);
        // Killed, as a server that crashes: its sessions cut without a word of goodbye.
        QVERIFY2(m_cluster.stop(true), qPrintable(m_cluster.problem()));
        QVERIFY(forSeconds(2));
        QVERIFY2(m_cluster.start(), qPrintable(m_cluster.problem()));
        for (auto &station : stations) {
            QVERIFY(QTest::qWaitFor([&] { return look() && station->runner.state() == QProcess::NotRunning; }, 120000));
            QVERIFY2(station->runner.exitStatus() == QProcess::NormalExit && station->runner.exitCode() == 0,
                station->runner.readAllStandardError().constData());
        }
        QVERIFY2(silent.isEmpty(), qPrintable(QStringList(silent.begin(), silent.end()).join(u", ")));
        QStringList local;
        for (auto &station : stations)
            local += runsIn(QStringLiteral("local"), [&] {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("local"));
                db.setDatabaseName(station->store());
                return db;
            });
        local.sort();
        QCOMPARE(local.size(), Stations);
        for (const QString &run : local) {
            // PASS, some 240 samples numbered without a gap, its one step.
            const QStringList cells = run.split(u'|');
            QCOMPARE(cells.at(1), QStringLiteral("PASS"));
            QVERIFY2(cells.at(2).toInt() > 120 && cells.at(2) == cells.at(3), qPrintable(run));
            QCOMPARE(cells.at(4), QStringLiteral("1"));
        }
        QCOMPARE(runsIn(QStringLiteral("lab"), onLab), local);
        // Bit for bit.
        QStringList benches;
        for (auto &station : stations) {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("local"));
                db.setDatabaseName(station->store());
                QVERIFY2(db.open(), qPrintable(db.lastError().text()));
                benches += everyRow(db);
            }
            QSqlDatabase::removeDatabase(QStringLiteral("local"));
        }
        benches.sort();
        QStringList lab;
        {
            QSqlDatabase db = onLab();
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            lab = everyRow(db);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("lab"));
        lab.sort();
        QCOMPARE(lab.size(), benches.size());
        QCOMPARE(lab, benches);
        QStringList states;
        {
            QSqlDatabase lab = onLab();
            QVERIFY2(lab.open(), qPrintable(lab.lastError().text()));
            QSqlQuery query(lab);
            QVERIFY(query.exec(QStringLiteral("SELECT activity, last_result, run_uuid FROM stations_now")));
            while (query.next())
                states.append(
                    query.value(0).toString() + u' ' + query.value(1).toString() + u' ' + query.value(2).toString());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("lab"));
        states.sort();
        QStringList ended;
        for (const QString &run : std::as_const(local))
            ended.append(QStringLiteral("FINISHED PASS ") + run.section(u'|', 0, 0));
        QCOMPARE(states, ended);
    }

    // A station whose server cannot be reached runs as it would without one, and says so.
    void aStationWithTheServerUnreachableRunsNormally()
    {
        Station station;
        QElapsedTimer timer;
        timer.start();
        prepare(station, "[Store]\r\nHost=127.0.0.1\r\nPort=" + QByteArray::number(m_cluster.port() + 1) + "\r\n", 3);
        QVERIFY(waitForEnd(station.runner));
        const QByteArray errors = station.runner.readAllStandardError();
        QVERIFY2(station.runner.exitCode() == 0, errors.constData());
        QVERIFY2(errors.contains("cannot be reached") && errors.contains("this run waits in"), errors.constData());
        QVERIFY2(timer.elapsed() < 9000, QByteArray::number(timer.elapsed()).constData());
        // The log and the store as without a server: a sample for each row.
        const qsizetype rows = TestFiles::readBytes(station.dir.filePath(QStringLiteral("run.CSV"))).count('\n') - 1;
        const QStringList stored = runsIn(QStringLiteral("local"), [&] {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("local"));
            db.setDatabaseName(station.store());
            return db;
        });
        QCOMPARE(stored.size(), 1);
        QVERIFY2(rows > 20 && stored.first().section(u'|', 2, 2).toInt() == rows, qPrintable(stored.first()));
    }

    // A [Store] Port that is no port number does not stop a bench run: it runs and is stored as
    // without a server, and the runner names the key.
    void aStationWithAWrongPortRunsUnforwarded()
    {
        Station station;
        prepare(station, "[Store]\r\nHost=127.0.0.1\r\nPort=99999\r\n", 1);
        QVERIFY(waitForEnd(station.runner));
        const QByteArray errors = station.runner.readAllStandardError();
        QVERIFY2(station.runner.exitCode() == 0, errors.constData());
        QVERIFY2(errors.contains("VORN.INI: [Store] Port=99999 is not a port number (1 to 65535)")
                && !errors.contains("this run waits in"),
            errors.constData());
        const QStringList stored = runsIn(QStringLiteral("local"), [&] {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("local"));
            db.setDatabaseName(station.store());
            return db;
        });
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.first().section(u'|', 1, 1), QStringLiteral("PASS"));
    }

private:
    StoreServer server() const { return m_cluster.server(); }

    PgCluster m_cluster;
};

QTEST_GUILESS_MAIN(TestLabStore)
#include "tst_labstore.moc"
