#include "StoreFixture.h"
#include "StoreRows.h"
#include "TestFiles.h"
#include "store/RunImport.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Header = "No.,StepTime,V,I,W,AH,WH,TotalTime,Function Name,Result";

// Two discharges around the load's own OCP test, the separator changed from "," to a tab and to
// ";" as the run went, a verdict row and a row whose measure items were off.
QByteArray threeSteps(const QByteArray &verdict = "PASS")
{
    return TestFiles::crlfLines(
        {Header, "1,00:00:01,12.500,2.000,25,0.00055556,0.00694444,2026/12/07 12:00:01,Discharge,",
            "2,00:00:02,12.490,2.000,24.98,0.00111111,0.01388889,2026/12/07 12:00:02,Discharge,",
            "3\t00:00:00\t12.400\t0.500\t6.2\t0.00013889\t0.00172222\t2026/12/07 12:00:03\tOCP\t",
            "4\t00:00:01\t\t5.2\t\t\t\t2026/12/07 12:00:04\tOCP\t" + verdict,
            "5;00:00:00;12.6;;;;;2026/12/07 12:00:05;Discharge;"});
}

} // namespace

// A run's CSV log into a bench's store: refused with its file and line when it is no log, a run of
// its own when no stored run wrote it, and the completion of the stored run that did.
class TestRunImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        m_store = m_dir->filePath(QStringLiteral("runs.sqlite"));
        m_log = m_dir->filePath(QStringLiteral("TEMPLOG.CSV"));
        m_program = m_dir->filePath(QStringLiteral("cell.TSF"));
        TestFiles::writeBytes(
            m_program, TestFiles::crlfLines({"StepNo.,Function", "1,Discharge", "2,Charge", "3,OCP", "4,LOOP"}));
    }

    // "%L" stands for the log's path.
    void malformedLogIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        const QByteArray row1 = "1,00:00:01,12.5,2,25,0.1,0.2,2026/12/07 12:00:01,Discharge,";
        const auto row = [&](const char *name, const QList<QByteArray> &lines, const char *error) {
            QTest::newRow(name) << TestFiles::crlfLines(lines) << QString::fromUtf8(error);
        };
        QTest::newRow("empty") << QByteArray()
                               << "%L:1: not a run's log: its first line is not \"No.,StepTime,V,I,W,AH,WH,TotalTime,"
                                  "Function Name,Result\"";
        row("another header", {"No.;StepTime;V;I;W;AH;WH;TotalTime;Function Name;Result", row1},
            "%L:1: not a run's log: its first line is not \"No.,StepTime,V,I,W,AH,WH,TotalTime,Function Name,"
            "Result\"");
        row("a field short", {Header, row1, "2,00:00:02,12.5,2,25,0.1,0.2,2026/12/07 12:00:02,Discharge"},
            "%L:3: 9 fields separated by \",\" where a row has 10");
        row("a row left out", {Header, row1, "3,00:00:03,12.5,2,25,0.1,0.2,2026/12/07 12:00:03,Discharge,"},
            "%L:3: row number \"3\" where 2 was expected");
        row("a step time that is none", {Header, "1,1:2,12.5,2,25,0.1,0.2,2026/12/07 12:00:01,Discharge,"},
            "%L:2: StepTime \"1:2\" is not hh:mm:ss");
        row("W not a number", {Header, "1,00:00:01,12.5,2,25W,0.1,0.2,2026/12/07 12:00:01,Discharge,"},
            "%L:2: W \"25W\" is not a number");
        row("WH not a number", {Header, row1, "2,00:00:02,12.5,2,25,0.1,-,2026/12/07 12:00:02,Discharge,"},
            "%L:3: WH \"-\" is not a number");
        row("a time of another form", {Header, "1,00:00:01,12.5,2,25,0.1,0.2,2026-12-07 12:00:01,Discharge,"},
            "%L:2: TotalTime \"2026-12-07 12:00:01\" is not a date and time as YYYY/MM/DD hh:mm:ss");
        row("a result of neither", {Header, "1,00:00:01,12.5,2,25,0.1,0.2,2026/12/07 12:00:01,OCP,OK"},
            "%L:2: Result \"OK\" is neither PASS, FAIL nor empty");
        row("a blank line", {Header, row1, "", "2,00:00:02,12.5,2,25,0.1,0.2,2026/12/07 12:00:02,Discharge,"},
            "%L:3: 1 fields separated by \",\" where a row has 10");
    }
    void malformedLogIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        TestFiles::writeBytes(m_log, bytes);
        QString said;
        QVERIFY(!RunLogReader::read(m_log, QStringLiteral(","), &said));
        QCOMPARE(said, QString(error).replace(QStringLiteral("%L"), m_log));
    }

    // The row being written when the program or the machine stopped, without its line end, is
    // left out, whatever it holds; the rows before it are read.
    void aLastLineCutShort_data()
    {
        QTest::addColumn<QByteArray>("last");
        QTest::newRow("a whole row") << QByteArray("3,00:00:03,12.5,2,25,0.1,0.2,2026/12/07 12:00:03,Discharge,");
        QTest::newRow("part of a row") << QByteArray("3,00:00:03,12.5,2,2");
    }
    void aLastLineCutShort()
    {
        QFETCH(QByteArray, last);
        TestFiles::writeBytes(m_log,
            TestFiles::crlfLines({Header, "1,00:00:01,12.5,2,25,0.1,0.2,2026/12/07 12:00:01,Discharge,",
                "2,00:00:02,12.5,2,25,0.1,0.2,2026/12/07 12:00:02,Discharge,"})
                + last);
        QString error;
        const std::optional<RunLogReader::Log> log = RunLogReader::read(m_log, QStringLiteral(","), &error);
        QVERIFY2(log, qPrintable(error));
        QVERIFY(log->lastLineCut);
        QCOMPARE(log->rows.size(), 2);
        QCOMPARE(log->rows.last().line, 3);
    }

    // A log that no stored run wrote becomes a run of its own: its steps numbered by the program's
    // rows when the program is given (a loop starts again from the top), else in the order they ran.
    void aLogOfNoRun_data()
    {
        QTest::addColumn<QByteArray>("verdict");
        QTest::addColumn<bool>("withProgram");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("stepRows");
        QTest::newRow("program given") << QByteArray("PASS") << true << "PASS" << QStringList{"1", "3", "1"};
        QTest::newRow("no program") << QByteArray("PASS") << false << "PASS" << QStringList{"1", "2", "3"};
        QTest::newRow("a verdict failed") << QByteArray("FAIL") << false << "FAIL" << QStringList{"1", "2", "3"};
    }
    void aLogOfNoRun()
    {
        QFETCH(QByteArray, verdict);
        QFETCH(bool, withProgram);
        QFETCH(QString, result);
        QFETCH(QStringList, stepRows);
        TestFiles::writeBytes(m_log, threeSteps(verdict));
        const std::optional<RunImport::Outcome> outcome = importInto(m_store, withProgram ? m_program : QString());
        QVERIFY(outcome);
        QCOMPARE(outcome->kind, RunImport::Kind::Created);
        QCOMPARE(outcome->samples, qint64(4));
        QCOMPARE(outcome->samplesAdded, qint64(4));
        const QString program = withProgram ? m_program : QString();
        const QString programText = withProgram ? QString::fromUtf8(TestFiles::readBytes(m_program)) : QString();
        const QStringList run{outcome->uuid, program, programText, "", "Bench 9", "2026-12-07T12:00:00.000",
            "2026-12-07T12:00:05.000", result, "4", m_log, "", ""};
        QCOMPARE(storeRows(m_store,
                     "SELECT uuid, program_name, program_text, model, station, started, ended, result, sample_count, "
                     "imported_from, log_path, load_off FROM runs"),
            QStringList{run.join(u'|')});
        QVERIFY2(storeRows(m_store, "SELECT message FROM runs")
                     .value(0)
                     .startsWith(QStringLiteral("Imported from %1: the log tells neither").arg(m_log)),
            qPrintable(storeRows(m_store, "SELECT message FROM runs").value(0)));
        // Each sample row, its time from the first step's start; what the log leaves empty, NULL.
        QCOMPARE(storeRows(m_store, "SELECT seq, elapsed_s, v, i, w, ah, wh, step FROM samples ORDER BY seq"),
            (QStringList{"1|1|12.5|2|25|0.00055556|0.00694444|" + stepRows.at(0),
                "2|2|12.49|2|24.98|0.00111111|0.01388889|" + stepRows.at(0),
                "3|3|12.4|0.5|6.2|0.00013889|0.00172222|" + stepRows.at(1), "4|5|12.6|||||" + stepRows.at(2)}));
        QCOMPARE(storeRows(m_store,
                     "SELECT step, function, started, seconds, end_reason, verdict, value, ah, wh, v, i FROM steps "
                     "ORDER BY started"),
            (QStringList{stepRows.at(0) + "|Discharge|2026-12-07T12:00:00.000|2||||0.00111111|0.01388889|12.49|2",
                stepRows.at(1) + "|OCP|2026-12-07T12:00:03.000|1||" + verdict + "|5.2|0.00013889|0.00172222|12.4|0.5",
                stepRows.at(2) + "|Discharge|2026-12-07T12:00:05.000|0||||0|0|12.6|0"}));
    }

    // The same log is the same run, in this store and in any other: imported again, it is found.
    void theSameLogIsTheSameRun()
    {
        TestFiles::writeBytes(m_log, threeSteps());
        const std::optional<RunImport::Outcome> first = importInto(m_store);
        QVERIFY(first && first->kind == RunImport::Kind::Created);
        const std::optional<RunImport::Outcome> again = importInto(m_store);
        QVERIFY(again);
        QCOMPARE(again->kind, RunImport::Kind::AlreadyStored);
        QCOMPARE(again->uuid, first->uuid);
        QCOMPARE(storeRows(m_store, "SELECT COUNT(*) FROM runs"), QStringList{"1"});
        const std::optional<RunImport::Outcome> elsewhere = importInto(m_dir->filePath(QStringLiteral("other.sqlite")));
        QVERIFY(elsewhere && elsewhere->kind == RunImport::Kind::Created);
        QCOMPARE(elsewhere->uuid, first->uuid);
        // Another log is another run; one whose samples are the same is the run already there.
        TestFiles::writeBytes(m_log, threeSteps("FAIL"));
        const std::optional<RunImport::Outcome> sameRows = importInto(m_store);
        QVERIFY(sameRows && sameRows->kind == RunImport::Kind::AlreadyStored);
        QCOMPARE(sameRows->uuid, first->uuid);
        TestFiles::writeBytes(m_log, threeSteps().replace("12.500", "12.501"));
        const std::optional<RunImport::Outcome> other = importInto(m_store);
        QVERIFY(other && other->kind == RunImport::Kind::Created);
        QVERIFY(other->uuid != first->uuid);
    }

    // A program that lacks a step the log ran names the log's line.
    void aStepNotInTheProgram()
    {
        TestFiles::writeBytes(m_log, threeSteps());
        TestFiles::writeBytes(m_program, TestFiles::crlfLines({"StepNo.,Function", "1,Discharge", "2,Charge"}));
        QString error;
        RunImport::Source source = sourceOf(m_program, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(!RunImport::into(m_store, source, &error));
        QCOMPARE(error, QStringLiteral("%1:4: the step \"OCP\" is not in the program %2").arg(m_log, m_program));
        QCOMPARE(storeRows(m_store, "SELECT COUNT(*) FROM runs"), QStringList{"0"});
    }

    // The run that wrote the log is found by its start and its samples, and completed: the rows
    // its store lacks are added under their own numbers and in their own steps. A run whose samples
    // differ from the log's, or that started too long before it, did not write it.
    void theRunThatWroteItIsCompleted_data()
    {
        QTest::addColumn<QString>("started");
        QTest::addColumn<QString>("secondVolts");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<bool>("completed");
        QTest::newRow("its end kept") << "2026-12-07T11:59:59.250"
                                      << "12.49" << true << true;
        QTest::newRow("its end lost") << "2026-12-07T11:59:59.250"
                                      << "12.49" << false << true;
        QTest::newRow("a sample differs") << "2026-12-07T11:59:59.250"
                                          << "12.48" << true << false;
        QTest::newRow("started long before") << "2026-12-07T11:49:50.000"
                                             << "12.49" << true << false;
    }
    void theRunThatWroteItIsCompleted()
    {
        QFETCH(QString, started);
        QFETCH(QString, secondVolts);
        QFETCH(bool, ended);
        QFETCH(bool, completed);
        const QString uuid = QStringLiteral("0bad0003-0000-4000-8000-000000000000");
        const QDateTime start = QDateTime::fromString(started, Qt::ISODateWithMs);
        const auto elapsed = [&](const char *at) {
            return QString::number(
                double(start.msecsTo(QDateTime::fromString(QLatin1String(at), Qt::ISODateWithMs))) / 1000.0);
        };
        QStringList statements{
            QStringLiteral("INSERT INTO runs (uuid, program_name, program_text, station, started, ended, result, "
                           "message, sample_count, log_path) VALUES ('%1', 'cell.TSF', 'StepNo.,Function\r\n"
                           "1,Discharge\r\n2,OCP\r\n', 'Bench 1', '%2', %3, '%4', '', %5, '/bench/TEMPLOG.CSV')")
                .arg(uuid, started, ended ? "'2026-12-07T12:00:05.500'" : "NULL", ended ? "PASS" : "",
                    ended ? "4" : "NULL"),
            QStringLiteral("INSERT INTO samples VALUES ('%1', 1, %2, 12.5, 2, 25, 0.00055556, 0.00694444, 1), "
                           "('%1', 2, %3, %4, 2, 24.98, 0.00111111, 0.01388889, 1)")
                .arg(uuid, elapsed("2026-12-07T12:00:01.100"), elapsed("2026-12-07T12:00:02.100"), secondVolts)};
        if (ended)
            statements += QStringList{
                QStringLiteral("INSERT INTO steps VALUES ('%1', 1, 'Discharge', '2026-12-07T12:00:00.100', 2.9, "
                               "'time', '', '', 0.00111111, 0.01388889, 12.49, 2)")
                    .arg(uuid),
                QStringLiteral("INSERT INTO steps VALUES ('%1', 2, 'OCP', '2026-12-07T12:00:03.000', 1.5, 'load', "
                               "'PASS', '5.2', 0.00013889, 0.00172222, 12.4, 0.5)")
                    .arg(uuid),
                QStringLiteral("INSERT INTO steps VALUES ('%1', 1, 'Discharge', '2026-12-07T12:00:04.900', 0.5, "
                               "'stopped', '', '', 0, 0, 12.6, 0)")
                    .arg(uuid)};
        StoreFixture::write(m_store, statements);
        TestFiles::writeBytes(m_log, threeSteps());
        const std::optional<RunImport::Outcome> outcome = importInto(m_store);
        QVERIFY(outcome);
        QCOMPARE(outcome->kind, completed ? RunImport::Kind::Completed : RunImport::Kind::Created);
        QCOMPARE(outcome->uuid == uuid, completed);
        if (!completed) {
            QCOMPARE(
                storeRows(m_store, "SELECT COUNT(*) FROM samples WHERE run_uuid = '" + uuid + "'"), QStringList{"2"});
            return;
        }
        QCOMPARE(outcome->samplesAdded, qint64(2));
        QCOMPARE(storeRows(m_store, "SELECT COUNT(*) FROM runs"), QStringList{"1"});
        // The stored samples as they were; the log's rows after them in their steps, never before
        // the sample ahead of them.
        const QString firstTwo = QStringLiteral("1|%1|12.5|1\n2|%2|12.49|1")
                                     .arg(elapsed("2026-12-07T12:00:01.100"), elapsed("2026-12-07T12:00:02.100"));
        QCOMPARE(storeRows(m_store, "SELECT seq, elapsed_s, v, step FROM samples ORDER BY seq").join(u'\n'),
            firstTwo
                + QStringLiteral("\n3|%1|12.4|2\n4|%2|12.6|1")
                      .arg(elapsed("2026-12-07T12:00:03.000"), elapsed("2026-12-07T12:00:05.000")));
        QCOMPARE(storeRows(m_store, "SELECT sample_count, imported_from, log_path FROM runs"),
            QStringList{"4|" + m_log + "|/bench/TEMPLOG.CSV"});
        // A run whose end the store had kept keeps it; one whose end it lost takes the log's.
        QCOMPARE(storeRows(m_store, "SELECT ended, result FROM runs"),
            QStringList{ended ? "2026-12-07T12:00:05.500|PASS" : "2026-12-07T12:00:05.000|PASS"});
        QCOMPARE(storeRows(m_store, "SELECT COUNT(*) FROM steps"), QStringList{"3"});
    }

private:
    RunImport::Source sourceOf(const QString &program, QString *error) const
    {
        RunImport::Source source;
        source.logPath = m_log;
        source.programPath = program;
        source.station = QStringLiteral("Bench 9");
        if (std::optional<RunLogReader::Log> log = RunLogReader::read(m_log, QStringLiteral(","), error))
            source.log = *log;
        return source;
    }
    std::optional<RunImport::Outcome> importInto(const QString &store, const QString &program = QString()) const
    {
        QString error;
        const RunImport::Source source = sourceOf(program, &error);
        if (!error.isEmpty()) {
            qWarning() << error;
            return std::nullopt;
        }
        std::optional<RunImport::Outcome> outcome = RunImport::into(store, source, &error);
        if (!outcome)
            qWarning() << error;
        return outcome;
    }

    std::optional<QTemporaryDir> m_dir;
    QString m_store, m_log, m_program;
};

QTEST_GUILESS_MAIN(TestRunImport)
#include "tst_runimport.moc"
