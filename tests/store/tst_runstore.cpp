#include "RunBench.h"
#include "TestFiles.h"
#include "TinyDisk.h"
#include "store/RunStore.h"
#include "store/StoreSchema.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>
#include <QTest>
#include <QUuid>
#include <optional>

namespace {

// The rows of one query on the store's file, each row's columns joined by '|'.
QStringList rowsOf(const QString &path, const QString &sql)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(sql, db);
            while (query.next()) {
                QStringList cells;
                for (int column = 0; column < query.record().count(); ++column)
                    cells.append(query.value(column).toString());
                rows.append(cells.join(u'|'));
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return rows;
}

QString sampleText(const RunEvents::Sample &s)
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
        QTest::newRow("one step, host name") << QStringList{"3"} << QByteArray("[System]\r\nMeasureTime=1000\r\n")
                                             << QSysInfo::machineHostName() << QStringList{"1|Discharge|time"};
        QTest::newRow("two steps, station named")
            << QStringList{"2", "4"} << QByteArray("[Store]\r\nStation=Bench 7\r\n") << "Bench 7"
            << QStringList{"1|Discharge|time", "2|Discharge|time"};
    }
    void runIsStored()
    {
        QFETCH(QStringList, stepSeconds);
        QFETCH(QByteArray, ini);
        QFETCH(QString, station);
        QFETCH(QStringList, steps);
        RunBench bench;
        const QString iniPath = bench.dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(iniPath, ini);
        const QString program = bench.dir.filePath(QStringLiteral("p.TSF"));
        TestFiles::writeBytes(program, "a test step file");
        std::optional<RunStore> first;
        RunStore &store = first.emplace(bench.run.events(), bench.clock, bench.identification, iniPath);
        QSignalSpy problems(&store, &RunStore::problem);
        QStringList sent;
        connect(&bench.run.events(), &RunEvents::sample, this,
            [&](const RunEvents::Sample &sample) { sent.append(sampleText(sample)); });
        for (const QString &seconds : stepSeconds)
            bench.addDischarge(QStringLiteral("2"), seconds);
        RunOptions options;
        options.programFile = program;
        QVERIFY(bench.start(options));
        bench.runToEnd();

        QCOMPARE(problems.count(), 0);
        QVERIFY(!QUuid::fromString(store.runUuid()).isNull());
        const QString path = bench.dir.filePath(QStringLiteral("runs.sqlite"));
        QCOMPARE(
            rowsOf(path, "SELECT version FROM schema_version ORDER BY version"), (QStringList{"1", "2", "3", "4"}));
        const QStringList run{
            store.runUuid(), program, "a test step file", "6312C", QString::fromUtf8(ini), station, "PASS"};
        QCOMPARE(
            rowsOf(path, "SELECT uuid, program_name, program_text, model, settings_text, station, result FROM runs"),
            QStringList{run.join(u'|')});
        QCOMPARE(rowsOf(path, "SELECT step, function, end_reason FROM steps ORDER BY rowid"), steps);
        QVERIFY(sent.size() > 2);
        QCOMPARE(rowsOf(path, "SELECT elapsed_s, v, i, w, ah, wh, step FROM samples ORDER BY seq"), sent);
        QCOMPARE(rowsOf(path, "SELECT COUNT(*), MIN(seq), MAX(seq) FROM samples"),
            QStringList{QStringLiteral("%1|1|%1").arg(sent.size())});

        // Reopened: nothing is migrated again, and the next run goes beside the first.
        first.reset();
        RunStore again(bench.run.events(), bench.clock, bench.identification, iniPath);
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
        QCOMPARE(rowsOf(path, "SELECT COUNT(*) FROM runs").value(0), QStringLiteral("2"));
        QCOMPARE(rowsOf(path, "SELECT COUNT(*) FROM schema_version"),
            QStringList{QString::number(StoreSchema::latestVersion())});
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
        RunStore store(bench.run.events(), bench.clock, bench.identification, iniPath);
        QSignalSpy problems(&store, &RunStore::problem);
        if (how == u"full")
            disk->fill();
        QSqlDatabase locker;
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
        // Closing gives up the lock with the transaction.
        locker.close();

        QCOMPARE(bench.ends, QList<RunEvents::Result>{RunEvents::Result::Pass});
        QCOMPARE(problems.count(), 1);
        QVERIFY2(problems.first().first().toString().contains(store.path()),
            qPrintable(problems.first().first().toString()));
        QVERIFY(bench.run.rowsLogged() >= 30);
        QCOMPARE(bench.csvLines().size(), 1 + bench.run.rowsLogged());
    }

    // Each sample is its own commit: what that costs a pass.
    void costPerSample()
    {
        RunBench bench;
        const QString iniPath = bench.dir.filePath(QStringLiteral("VORN.INI"));
        RunStore store(bench.run.events(), bench.clock, bench.identification, iniPath);
        RunEvents &events = bench.run.events();
        Q_EMIT events.runStarted(RunOptions());
        constexpr int Count = 10000;
        QElapsedTimer timer;
        timer.start();
        for (int n = 1; n <= Count; ++n)
            Q_EMIT events.sample({n * 0.1, 12, 2, 24, n * 1e-4, n * 1e-3, 1});
        const qint64 ns = timer.nsecsElapsed();
        qInfo("%d samples stored, %.1f us each", Count, double(ns) / Count / 1000.0);
        QCOMPARE(rowsOf(store.path(), "SELECT COUNT(*), MAX(seq) FROM samples"), QStringList{"10000|10000"});
        // With the writer's own checkpoints off, the log is still folded into the file while the
        // run goes on: the file grows past the samples' half megabyte. Samples that come faster
        // than the background folds them leave the log near its thousand pages all the same,
        // where the 20,000 pages of all the commits would take 80 MB.
        QTRY_VERIFY(QFileInfo(store.path()).size() > 500 * 1024);
        QVERIFY(QFileInfo(store.path() + "-wal").size() < 16 * 1024 * 1024);
    }
};

QTEST_GUILESS_MAIN(TestRunStore)
#include "tst_runstore.moc"
