#include "ProcessEnd.h"
#include "RunBench.h"
#include "StoreRows.h"
#include "TestFiles.h"
#include "TinyDisk.h"
#include "model/NumberText.h"
#include "results/ResultLog.h"
#include "store/RunStore.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <optional>

namespace {

struct Said
{
    int exitCode = -1;
    QString out, err;
};

Said runs(const QStringList &arguments)
{
    QProcess process;
    process.start(TestFiles::binary("vornic-runs"), arguments);
    Said said;
    if (!waitForEnd(process))
        return said;
    said.exitCode = process.exitCode();
    said.out = QString::fromUtf8(process.readAllStandardOutput());
    said.err = QString::fromUtf8(process.readAllStandardError());
    return said;
}

} // namespace

// A disk that fills under the store in the middle of a run: the run and its CSV log go on; the
// run's end, with the number of samples it made, goes into the store without the samples the disk
// cannot take; the run's end says how many the store lacks and that the CSV log has them; the
// store lists the run as incomplete with that number; and its CSV log, imported, gives the store
// every row.
class TestIncompleteRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theDiskFillsMidRun()
    {
        TinyDisk disk(4096);
        if (!disk.isMounted())
            QSKIP("a tmpfs cannot be mounted here");
        RunBench bench;
        const QString iniPath = disk.filePath(QStringLiteral("VORN.INI"));
        std::optional<RunStore> running;
        RunStore &store = running.emplace(bench.recorder, bench.identification, iniPath);
        store.setLogPath([&bench] { return bench.log.path(); });
        const QString storePath = store.path();
        QSignalSpy problems(&store, &RunStore::problem);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(storePath + QStringLiteral("-reserve")).size() > 0, 60000);
        bench.addDischarge(QStringLiteral("2"), QStringLiteral("60"));
        QVERIFY(bench.start());
        for (int pass = 0; pass < 19; ++pass)
            bench.pass();
        QVERIFY(store.waitForSamples(60000));
        QCOMPARE(storeRows(storePath, "SELECT COUNT(*) FROM samples"), QStringList{"19"});
        disk.fill();
        bench.runToEnd();
        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Pass});
        const qint64 made = bench.record().samples;
        QCOMPARE(qint64(bench.log.rowsLogged()), made);
        QVERIFY(made > 50);

        // Said once, at the run's end: how many the store lacks, where the log is, what to do.
        QVERIFY(!problems.isEmpty());
        const QString said = problems.last().first().toString();
        QVERIFY2(said.contains(QStringLiteral("lacks %1 of this run's %2 samples").arg(made - 19).arg(made)),
            qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("The run's end is in it")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("The CSV log %1 has them").arg(bench.log.path())), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("\"vornic-runs --store %1 import %2\"").arg(storePath, bench.log.path())),
            qPrintable(said));
        // The program ends; what waits in memory is lost with it.
        running.reset();
        QCOMPARE(
            storeRows(storePath, "SELECT result, sample_count, log_path, (SELECT COUNT(*) FROM samples) FROM runs"),
            QStringList{QStringLiteral("PASS|%1|%2|19").arg(made).arg(bench.log.path())});
        QCOMPARE(storeRows(storePath, "SELECT COUNT(*) FROM steps"), QStringList{"1"});

        const QStringList storeArguments{QStringLiteral("--settings"), iniPath, QStringLiteral("--store"), storePath};
        Said list = runs(storeArguments + QStringList{QStringLiteral("list")});
        QVERIFY2(list.exitCode == 0, qPrintable(list.err));
        QVERIFY2(QRegularExpression(QStringLiteral("\\n\\S+ \\S+ +\\w{8} [^\\n]* PASS, INCOMPLETE \\(%1 samples "
                                                   "missing\\) +19\\n$")
                                        .arg(made - 19))
                     .match(list.out)
                     .hasMatch(),
            qPrintable(list.out));

        // Room again, and the log brings in what the store lacks.
        QVERIFY(QFile::remove(disk.filePath(QStringLiteral(".filler"))));
        Said imported = runs(storeArguments + QStringList{QStringLiteral("import"), bench.log.path()});
        QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
        const QString uuid = storeRows(storePath, "SELECT uuid FROM runs").value(0);
        QCOMPARE(imported.out,
            QStringLiteral("run %1 in %2 completed from %3: %4 samples added, %5 in all\n")
                .arg(uuid, storePath, bench.log.path())
                .arg(made - 19)
                .arg(made));
        list = runs(storeArguments + QStringList{QStringLiteral("list")});
        QVERIFY2(list.out.contains(QStringLiteral(" PASS  ")) && !list.out.contains(QStringLiteral("INCOMPLETE")),
            qPrintable(list.out));
        QCOMPARE(storeRows(storePath, "SELECT COUNT(*), MIN(seq), MAX(seq), MIN(step), MAX(step) FROM samples"),
            QStringList{QStringLiteral("%1|1|%1|1|1").arg(made)});
        QCOMPARE(storeRows(storePath, "SELECT COUNT(*) FROM runs"), QStringList{"1"});
        QCOMPARE(storeRows(storePath, "SELECT imported_from FROM runs"), QStringList{bench.log.path()});

        // Every row of the log is a sample in the store, field for field: the run's own V and I as
        // it read them, W, Ah and Wh to the last digit the log has, and its time to the log's second.
        const QList<QByteArray> lines = bench.csvLines();
        QCOMPARE(qint64(lines.size()), made + 1);
        const QDateTime started
            = QDateTime::fromString(storeRows(storePath, "SELECT started FROM runs").value(0), Qt::ISODateWithMs);
        const QStringList samples
            = storeRows(storePath, "SELECT seq, elapsed_s, v, i, w, ah, wh FROM samples ORDER BY seq");
        QCOMPARE(qint64(samples.size()), made);
        for (qint64 seq = 1; seq <= made; ++seq) {
            QByteArray line = lines.at(seq);
            line.chop(1);
            const QStringList cells = QString::fromUtf8(line).split(u',');
            const QStringList stored = samples.at(seq - 1).split(u'|');
            QCOMPARE(cells.at(ResultLog::No), stored.at(0));
            QCOMPARE(NumberText::lenient(cells.at(ResultLog::V)), stored.at(2).toDouble());
            QCOMPARE(NumberText::lenient(cells.at(ResultLog::I)), stored.at(3).toDouble());
            QCOMPARE(NumberText::shortest(stored.at(4).toDouble()), cells.at(ResultLog::W));
            QCOMPARE(NumberText::shortest(stored.at(5).toDouble()), cells.at(ResultLog::AH));
            QCOMPARE(NumberText::shortest(stored.at(6).toDouble()), cells.at(ResultLog::WH));
            const QDateTime at = started.addMSecs(qint64(stored.at(1).toDouble() * 1000));
            const QDateTime rowTime
                = QDateTime::fromString(cells.at(ResultLog::TotalTime), QStringLiteral("yyyy/MM/dd hh:mm:ss"));
            QVERIFY2(std::abs(at.secsTo(rowTime)) <= 1, qPrintable(QStringLiteral("sample %1").arg(seq)));
        }

        // Again: nothing more to take.
        imported = runs(storeArguments + QStringList{QStringLiteral("import"), bench.log.path()});
        QCOMPARE(imported.out,
            QStringLiteral("run %1 in %2 holds every row of %3 already\n").arg(uuid, storePath, bench.log.path()));
        QCOMPARE(storeRows(storePath, "SELECT COUNT(*) FROM samples"), QStringList{QString::number(made)});
    }

    // A disk full from before the run: not even its end goes in, and the run's end says so. The log
    // makes the run in the store.
    void theDiskIsFullFromTheStart()
    {
        TinyDisk disk(768);
        if (!disk.isMounted())
            QSKIP("a tmpfs cannot be mounted here");
        RunBench bench;
        const QString iniPath = disk.filePath(QStringLiteral("VORN.INI"));
        QString storePath;
        {
            RunStore store(bench.recorder, bench.identification, iniPath);
            store.setLogPath([&bench] { return bench.log.path(); });
            storePath = store.path();
            QSignalSpy problems(&store, &RunStore::problem);
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(storePath), 60000);
            disk.fill();
            bench.addDischarge(QStringLiteral("2"), QStringLiteral("5"));
            QVERIFY(bench.start());
            bench.runToEnd();
            const qint64 made = bench.record().samples;
            QVERIFY(!problems.isEmpty());
            const QString said = problems.last().first().toString();
            QVERIFY2(said.contains(QStringLiteral("could not keep this run's end nor %1 of its %1 samples").arg(made)),
                qPrintable(said));
            QVERIFY2(
                said.contains(QStringLiteral("The CSV log %1 has every row").arg(bench.log.path())), qPrintable(said));
        }
        QCOMPARE(storeRows(storePath, "SELECT COUNT(*) FROM runs"), QStringList{"0"});
        QVERIFY(QFile::remove(disk.filePath(QStringLiteral(".filler"))));
        const Said imported = runs({QStringLiteral("--settings"), iniPath, QStringLiteral("--store"), storePath,
            QStringLiteral("import"), bench.log.path()});
        QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
        QVERIFY2(
            imported.out.startsWith(QStringLiteral("run ")) && imported.out.contains(QStringLiteral(" made from ")),
            qPrintable(imported.out));
        QCOMPARE(storeRows(storePath, "SELECT result, sample_count, (SELECT COUNT(*) FROM samples) FROM runs"),
            QStringList{QStringLiteral("PASS|%1|%1").arg(bench.record().samples)});
    }
};

QTEST_GUILESS_MAIN(TestIncompleteRun)
#include "tst_incompleterun.moc"
