#include "SimProcess.h"
#include "TestFiles.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

// vornic-run against the virtual load, killed outright mid-step: whatever sample rows its CSV log
// holds, the store beside the settings file holds too, with the same values.
class TestStoreEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        ::kill(pid_t(runner.processId()), SIGKILL);
        QVERIFY(runner.waitForFinished(10000));
        QCOMPARE(runner.exitStatus(), QProcess::CrashExit);

        // Rows are written whole; the header is the first line.
        QList<QByteArray> lines = TestFiles::readBytes(csv).split('\n');
        lines.removeLast();
        const qsizetype rows = lines.size() - 1;
        const QList<QByteArray> last = lines.last().trimmed().split(',');
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(dir.filePath(QStringLiteral("runs.sqlite")));
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("SELECT COUNT(*), (SELECT COUNT(*) FROM runs) FROM samples") && query.next());
        // The sample of a row that was being written when the kill came may be in the store alone.
        const qsizetype stored = query.value(0).toLongLong();
        QVERIFY2(stored == rows || stored == rows + 1, qPrintable(QStringLiteral("%1 %2").arg(stored).arg(rows)));
        QCOMPARE(query.value(1).toInt(), 1);
        QVERIFY(
            query.exec(QStringLiteral("SELECT v, i, w, ah, wh FROM samples WHERE seq = %1").arg(rows)) && query.next());
        // V, I, W, AH, WH are the CSV's third to seventh columns.
        for (int column = 0; column < 5; ++column)
            QCOMPARE(query.value(column).toDouble(), last.at(2 + column).toDouble());
    }
};

QTEST_GUILESS_MAIN(TestStoreEndToEnd)
#include "tst_storeendtoend.moc"
