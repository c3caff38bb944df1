#include "PgCluster.h"
#include "ProcessEnd.h"
#include "SimProcess.h"
#include "TcpRelay.h"
#include "TestFiles.h"
#include "store/StoreSchema.h"
#include "store/StoreServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

namespace {

// uuid | result | samples | last sample | steps, for each run of a store.
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

// The runs of the store in `path` or, for an empty path, of the server.
QStringList runsOf(const StoreServer &server, const QString &path = QString())
{
    QStringList runs;
    {
        QSqlDatabase db = path.isEmpty() ? server.addConnection(QStringLiteral("look"))
                                         : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
        if (!path.isEmpty())
            db.setDatabaseName(path);
        runs = db.open() ? runsIn(db) : QStringList{db.lastError().text()};
    }
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
    return runs;
}

QByteArray runTool(const QStringList &arguments, int *exitCode)
{
    QProcess tool;
    tool.start(TestFiles::binary("vornic-runs"), arguments);
    if (!waitForEnd(tool))
        return "did not end";
    *exitCode = tool.exitCode();
    return tool.readAllStandardOutput() + tool.readAllStandardError();
}

} // namespace

// vornic-run forwarding to a lab server that stops answering in the middle of its run: the
// runner ends all the same a few seconds after its run, and the run reaches the server later.
class TestForwardLimits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_cluster.problem().isEmpty())
            QSKIP(qPrintable(m_cluster.problem()));
        m_server.host = QStringLiteral("127.0.0.1");
        m_server.port = m_cluster.port();
        m_server.database = PgCluster::Database;
        m_server.user = PgCluster::User;
        // The tables are there before the stations, so that a lock can be taken on them.
        {
            QSqlDatabase db = m_server.addConnection(QStringLiteral("setup"));
            QString error;
            QVERIFY2(db.open() && StoreSchema::migrate(db, &error) >= 0, qPrintable(error + db.lastError().text()));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("setup"));
    }

    // "frozen": the path to the server passes nothing any more, its sockets open. "locked":
    // another session holds the run tables locked in an open transaction.
    void theRunnerEndsWhateverTheServerDoes_data()
    {
        QTest::addColumn<QString>("hold");
        QTest::addColumn<bool>("interrupt");
        QTest::newRow("a frozen network") << QStringLiteral("frozen") << false;
        QTest::newRow("a frozen network, SIGTERM while waiting") << QStringLiteral("frozen") << true;
        QTest::newRow("tables locked") << QStringLiteral("locked") << false;
        QTest::newRow("tables locked, SIGTERM while waiting") << QStringLiteral("locked") << true;
    }
    void theRunnerEndsWhateverTheServerDoes()
    {
        QFETCH(QString, hold);
        QFETCH(bool, interrupt);
        TcpRelay relay(m_cluster.port());
        QVERIFY(relay.port() != 0);
        QTemporaryDir dir;
        // libpq finds the password by the port it connects to: the relay's too.
        const QString passFile = dir.filePath(QStringLiteral("pgpass"));
        const QByteArray pass = TestFiles::readBytes(qEnvironmentVariable("PGPASSFILE"));
        TestFiles::writeBytes(passFile,
            pass
                + QByteArray(pass).replace(
                    ":" + QByteArray::number(m_cluster.port()) + ":", ":" + QByteArray::number(relay.port()) + ":"));
        QVERIFY(QFile::setPermissions(passFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const QByteArray clusterPassFile = qgetenv("PGPASSFILE");
        qputenv("PGPASSFILE", passFile.toLocal8Bit());
        const auto restorePassFile = qScopeGuard([&] { qputenv("PGPASSFILE", clusterPassFile); });
        SimProcess sim({"--tcp", "0", "--source", "supply", "--speed", "10"});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        const QString store = dir.filePath(QStringLiteral("runs.sqlite"));
        TestFiles::writeBytes(ini,
            TestFiles::lanLoadSettings(sim.port(QStringLiteral("load")))
                + QStringLiteral("[Store]\r\nHost=127.0.0.1\r\nPort=%1\r\nDatabase=%2\r\nUser=%3\r\n")
                      .arg(relay.port())
                      .arg(PgCluster::Database, PgCluster::User)
                      .toUtf8());
        const QString program = dir.filePath(QStringLiteral("discharge.TSF"));
        TestFiles::writeBytes(
            program, TestFiles::crlfLines({"header", "1,Discharge,CC,2,0,5,0" + QByteArray(24, ',') + "0,0"}));
        const QString summary = dir.filePath(QStringLiteral("summary.json"));
        const QStringList before = runsOf(m_server);

        QByteArray errors;
        QProcess runner;
        connect(&runner, &QProcess::readyReadStandardError, this, [&] { errors += runner.readAllStandardError(); });
        runner.start(TestFiles::binary("vornic-run"),
            {"--settings", ini, "--log", dir.filePath(QStringLiteral("run.CSV")), "--summary", summary, program});
        QVERIFY(runner.waitForStarted());
        // Taken now: once the runner has ended its id is 0, and kill(0) would end the whole test run.
        const pid_t pid = pid_t(runner.processId());
        // The forwarding's connection is made: the server holds the run's start.
        QTRY_VERIFY_WITH_TIMEOUT(runsOf(m_server).size() == before.size() + 1, 60000);
        QSqlDatabase locker;
        if (hold == u"frozen") {
            relay.freeze();
        } else {
            locker = m_server.addConnection(QStringLiteral("locker"));
            QVERIFY2(locker.open(), qPrintable(locker.lastError().text()));
            QVERIFY(locker.transaction());
            QSqlQuery lock(locker);
            QVERIFY2(lock.exec(QStringLiteral("LOCK TABLE runs, samples, steps IN ACCESS EXCLUSIVE MODE")),
                qPrintable(lock.lastError().text()));
        }
        // The run's line comes before the wait for the server.
        QTRY_VERIFY_WITH_TIMEOUT(errors.contains("failed verdicts"), 60000);
        QElapsedTimer sinceRun;
        sinceRun.start();
        // A runner whose wait had ended already has ended as it should.
        if (interrupt && runner.state() != QProcess::NotRunning)
            ::kill(pid, SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(runner.state() == QProcess::NotRunning, 60000);
        qInfo("%s: vornic-run ended %lld ms after its run's line", qPrintable(hold), sinceRun.elapsed());
        errors += runner.readAllStandardError();
        QVERIFY2(runner.exitStatus() == QProcess::NormalExit && runner.exitCode() == 0, errors.constData());
        QVERIFY2(errors.contains("this run waits in"), errors.constData());
        QVERIFY2(TestFiles::readBytes(summary).contains("\"PASS\""), TestFiles::readBytes(summary).constData());

        const QStringList local = runsOf(m_server, store);
        QCOMPARE(local.size(), 1);
        const QString uuid = local.first().section(u'|', 0, 0);
        int exitCode = -1;
        QByteArray waiting = runTool({"--settings", ini, "list", "--waiting"}, &exitCode);
        QCOMPARE(exitCode, 0);
        QVERIFY2(waiting.contains(uuid.left(8).toLatin1()) && waiting.contains("not sent yet"), waiting.constData());

        // The server answers again: the run goes whole at the next round.
        if (hold == u"frozen") {
            relay.thaw();
        } else {
            locker.rollback();
            locker.close();
            locker = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("locker"));
        }
        const QByteArray forwarded = runTool({"--settings", ini, "forward"}, &exitCode);
        QVERIFY2(exitCode == 0, forwarded.constData());
        QVERIFY2(runsOf(m_server).contains(local.first()), qPrintable(local.first()));
        waiting = runTool({"--settings", ini, "list", "--waiting"}, &exitCode);
        QCOMPARE(exitCode, 0);
        QVERIFY2(!waiting.contains(uuid.left(8).toLatin1()), waiting.constData());
    }

    // The server stops for 10 s in the middle of a run and is back 10 s before its end: by the time
    // the runner has ended the server holds the run whole, with no command typed, and the bench
    // knows it; "vornic-runs forward" then has nothing to send, and the bench still knows it.
    void aRunGoesWholeAfterAShortOutage()
    {
        QTemporaryDir dir;
        SimProcess sim({"--tcp", "0", "--source", "supply", "--speed", "10"});
        QVERIFY(sim.waitForAnnouncements(1));
        const Station station = prepare(dir, sim, 28);
        const QString &ini = station.ini, &store = station.store, &log = station.log, &program = station.program;
        const QStringList before = runsOf(m_server);
        QProcess runner;
        QByteArray errors;
        connect(&runner, &QProcess::readyReadStandardError, this, [&] { errors += runner.readAllStandardError(); });
        runner.start(TestFiles::binary("vornic-run"), {"--settings", ini, "--log", log, program});
        QVERIFY(runner.waitForStarted());
        // The run's log as the clock: a row every 100 ms.
        const auto rows = [&] { return TestFiles::readBytes(log).count('\n'); };
        QTRY_VERIFY_WITH_TIMEOUT(runsOf(m_server).size() == before.size() + 1 && rows() > 60, 60000);
        QVERIFY2(m_cluster.stop(), qPrintable(m_cluster.problem()));
        const auto restart = qScopeGuard([&] { m_cluster.start(); });
        const qsizetype stoppedAt = rows();
        QTRY_VERIFY_WITH_TIMEOUT(rows() >= stoppedAt + 100, 60000);
        QVERIFY2(m_cluster.start(), qPrintable(m_cluster.problem()));
        QVERIFY(waitForEnd(runner));
        errors += runner.readAllStandardError();
        QVERIFY2(runner.exitCode() == 0 && !errors.contains("this run waits in"), errors.constData());
        const QStringList local = runsOf(m_server, store);
        QCOMPARE(local.size(), 1);
        QVERIFY2(local.first().section(u'|', 2, 2).toInt() > 200, qPrintable(local.first()));
        QVERIFY2(runsOf(m_server).contains(local.first()), qPrintable(local.first()));
        const QByteArray uuid = local.first().section(u'|', 0, 0).left(8).toLatin1();
        int exitCode = -1;
        QByteArray waiting = runTool({"--settings", ini, "list", "--waiting"}, &exitCode);
        QVERIFY2(exitCode == 0 && !waiting.contains(uuid), waiting.constData());
        const QByteArray forwarded = runTool({"--settings", ini, "forward"}, &exitCode);
        QVERIFY2(exitCode == 0 && forwarded.contains("0 run(s) brought up to date"), forwarded.constData());
        waiting = runTool({"--settings", ini, "list", "--waiting"}, &exitCode);
        QVERIFY2(exitCode == 0 && !waiting.contains(uuid), waiting.constData());
    }

    // A run whose program was killed never ends: once the server holds every sample of it, the
    // bench no longer lists it as waiting, as "vornic-runs forward" says.
    void aKilledRunIsNotWaitingOnceTheServerHoldsIt()
    {
        QTemporaryDir dir;
        SimProcess sim({"--tcp", "0", "--source", "supply", "--speed", "10"});
        QVERIFY(sim.waitForAnnouncements(1));
        const Station station = prepare(dir, sim, 60);
        const QString &ini = station.ini, &store = station.store, &log = station.log, &program = station.program;
        QProcess runner;
        runner.start(TestFiles::binary("vornic-run"), {"--settings", ini, "--log", log, program});
        QVERIFY(runner.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(TestFiles::readBytes(log).count('\n') > 30, 60000);
        QVERIFY(signalRunning(runner, SIGKILL));
        QVERIFY(waitForEnd(runner));
        int exitCode = -1;
        const QByteArray forwarded = runTool({"--settings", ini, "forward"}, &exitCode);
        QVERIFY2(exitCode == 0 && forwarded.contains("the server holds every run"), forwarded.constData());
        const QStringList local = runsOf(m_server, store);
        QCOMPARE(local.size(), 1);
        QCOMPARE(local.first().section(u'|', 1, 1), QString());
        QVERIFY2(runsOf(m_server).contains(local.first()), qPrintable(local.first()));
        const QByteArray waiting = runTool({"--settings", ini, "list", "--waiting"}, &exitCode);
        QVERIFY2(exitCode == 0 && !waiting.contains(local.first().left(8).toLatin1()), waiting.constData());
    }

private:
    PgCluster m_cluster;

    // A station forwarding to this test's server, and its program: one discharge of `seconds`.
    struct Station
    {
        QString ini, store, log, program;
    };
    Station prepare(const QTemporaryDir &dir, SimProcess &sim, int seconds)
    {
        const Station station{dir.filePath(QStringLiteral("VORN.INI")), dir.filePath(QStringLiteral("runs.sqlite")),
            dir.filePath(QStringLiteral("run.CSV")), dir.filePath(QStringLiteral("discharge.TSF"))};
        TestFiles::writeBytes(station.ini,
            TestFiles::lanLoadSettings(sim.port(QStringLiteral("load")), QStringLiteral("100"))
                + m_cluster.storeSettings());
        TestFiles::writeBytes(station.program,
            TestFiles::crlfLines(
                {"header", "1,Discharge,CC,2,0," + QByteArray::number(seconds) + ",0" + QByteArray(24, ',') + "0,0"}));
        return station;
    }
    StoreServer m_server;
};

QTEST_GUILESS_MAIN(TestForwardLimits)
#include "tst_forwardlimits.moc"
