#include "HistoryLines.h"
#include "PgCluster.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "link/SystemClock.h"
#include "results/ChartHistoryBytes.h"
#include "station/Engine.h"
#include "store/RunArchive.h"
#include "store/RunExport.h"
#include "store/StoreSchema.h"
#include "store/StoreServer.h"
#include "ui/CompareWindow.h"
#include "ui/DateBoundEdit.h"
#include "ui/MainForm.h"
#include "ui/MainWindow.h"
#include "ui/RunChart.h"
#include "ui/RunsWindow.h"

#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct FixtureRun
{
    QString uuid, program, model, started, ended, result;
    // Per sample, its step; per step of the steps table, "step|function|verdict|value".
    QList<int> sampleSteps;
    QStringList steps;
};

// Four runs of two programs on two models, the newest first: d, c, b, a.
const QList<FixtureRun> Runs{
    {"aaaa0000-0000-0000-0000-000000000001", "C:\\programs\\Battery12V.TSF", "DL-300", "2026-11-02T10:00:00.000",
        "2026-11-02T11:02:03.000", "PASS", {1, 1, 1}, {"1|Discharge|PASS|12.1V"}},
    {"bbbb0000-0000-0000-0000-000000000002", "/home/lab/Cell.TSF", "DL-150", "2026-11-15T08:30:00.000",
        "2026-11-15T08:40:00.000", "FAIL", {1, 1, 2, 2, 2}, {"1|Charge||", "2|Discharge|FAIL|3.2V"}},
    {"cccc0000-0000-0000-0000-000000000003", "Battery24V.TSF", "DL-300", "2026-12-01T23:59:00.000", "", "", {3, 3},
        {"3|Rest||"}},
    {"dddd0000-0000-0000-0000-000000000004", "Cell.TSF", "DL-150", "2026-12-05T07:00:00.000", "2026-12-05T07:00:05.000",
        "STOPPED", {}, {}},
};

QString uuidOf(char letter)
{
    for (const FixtureRun &run : Runs) {
        if (run.uuid.startsWith(QLatin1Char(letter)))
            return run.uuid;
    }
    return QString();
}

QStringList uuidsOf(const QString &letters)
{
    QStringList uuids;
    for (QChar letter : letters)
        uuids.append(uuidOf(letter.toLatin1()));
    return uuids;
}

void exec(QSqlQuery &query, const QString &sql, const QVariantList &values)
{
    QVERIFY2(query.prepare(sql), qPrintable(query.lastError().text()));
    for (const QVariant &value : values)
        query.addBindValue(value);
    QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
}

void writeRuns(QSqlDatabase &db)
{
    QString error;
    QVERIFY2(StoreSchema::migrate(db, &error) >= 0, qPrintable(error));
    QSqlQuery query(db);
    for (const FixtureRun &run : Runs) {
        exec(query,
            "INSERT INTO runs (uuid, program_name, model, station, started, ended, result, message) "
            "VALUES (?, ?, ?, 'Bench 1', ?, ?, ?, '')",
            {run.uuid, run.program, run.model, run.started, run.ended.isEmpty() ? QVariant() : run.ended, run.result});
        for (const QString &step : run.steps) {
            const QStringList cells = step.split(u'|');
            exec(query,
                "INSERT INTO steps (run_uuid, step, function, started, seconds, end_reason, verdict, value) "
                "VALUES (?, ?, ?, ?, 1, 'time', ?, ?)",
                {run.uuid, cells[0].toInt(), cells[1], run.started, cells[2], cells[3]});
        }
        for (int seq = 0; seq < run.sampleSteps.size(); ++seq)
            exec(query,
                "INSERT INTO samples (run_uuid, seq, elapsed_s, v, i, w, ah, wh, step) "
                "VALUES (?, ?, ?, 12, 1, 12, 0, 0, ?)",
                {run.uuid, seq + 1, seq * 0.5, run.sampleSteps[seq]});
    }
}

// The fixture's runs through a connection of the test's own.
void writeRuns(const std::function<void(QSqlDatabase &db)> &configure)
{
    {
        QSqlDatabase db;
        configure(db);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        writeRuns(db);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
}

void addFilterRow(const char *name, const char *program, const char *model, const char *result, QDate from, QDate to,
    const char *runs, const char *status)
{
    QTest::newRow(name) << QString::fromUtf8(program) << QString::fromUtf8(model) << QString::fromUtf8(result) << from
                        << to << QString::fromLatin1(runs) << QString::fromLatin1(status);
}

QString marksOf(const ChartHistory &history)
{
    QStringList marks;
    for (const ChartHistory::Mark &mark : history.marks()) {
        const char *kind = mark.kind == ChartHistory::Mark::Kind::Step ? "S"
            : mark.kind == ChartHistory::Mark::Kind::Pass              ? "P"
                                                                       : "F";
        marks.append(QLatin1String(kind) + QString::number(mark.step));
    }
    return marks.join(u' ');
}

// A bench's window against a virtual load, with `runs` (a store file) as its runs so far.
struct Bench
{
    explicit Bench(const QString &runs = QString())
    {
        if (!sim.waitForAnnouncements(1))
            return;
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(sim.port(QStringLiteral("load"))));
        if (!runs.isEmpty() && !QFile::copy(runs, dir.filePath(QStringLiteral("runs.sqlite"))))
            return;
        engine = std::make_unique<Engine>(SystemClock::instance(), ini);
        window = std::make_unique<MainWindow>(*engine, dir.path());
        window->form()->setMessageFunction([](const QString &) {});
        window->form()->loadSettingsAndProgram();
        ready = true;
    }

    SimProcess sim{QStringList{"--tcp", "0"}};
    QTemporaryDir dir;
    std::unique_ptr<Engine> engine;
    std::unique_ptr<MainWindow> window;
    bool ready = false;
};

} // namespace

// What the operator sees of stored runs: the list as filtered, a run opened, and a store that
// cannot be read said in the status line while the window goes on answering.
class TestRunsWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_ini;
    // The same runs on a PostgreSQL server of the test's own, made for the first test that needs it.
    std::unique_ptr<PgCluster> m_lab;
    QTemporaryDir m_labDir;
    QString m_labIni;
    std::unique_ptr<RunsWindow> m_window;

    // A settings file that names the server as its store; "" when no server could be made here.
    QString labIni()
    {
        if (m_lab)
            return m_labIni;
        m_lab = std::make_unique<PgCluster>();
        if (!m_lab->problem().isEmpty())
            return QString();
        writeRuns([this](QSqlDatabase &db) {
            db = QSqlDatabase::addDatabase(StoreServer::Driver, QStringLiteral("fixture"));
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(m_lab->port());
            db.setDatabaseName(PgCluster::Database);
            db.setUserName(PgCluster::User);
        });
        m_labIni = m_labDir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(m_labIni, m_lab->storeSettings());
        return m_labIni;
    }

    // The window over a settings file, showing its source `source` (0 the bench's file, 1 the server).
    void openWindow(const QString &ini, int source = 0)
    {
        m_window = std::make_unique<RunsWindow>(ini);
        QSignalSpy listed(m_window.get(), &RunsWindow::listShown);
        m_window->sourceBox()->setCurrentIndex(source);
        m_window->show();
        QVERIFY(listed.wait(30000));
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_ini = m_dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(m_ini, "[System]\r\nMeasureTime=100\r\n");
        writeRuns([this](QSqlDatabase &db) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
            db.setDatabaseName(m_dir.filePath(QStringLiteral("runs.sqlite")));
        });
    }
    void cleanup() { m_window.reset(); }

    void filtersPickRuns_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("runs");
        QTest::addColumn<QString>("status");
        const QDate any;
        addFilterRow("none", "", "", "All", any, any, "dcba", "4 runs");
        addFilterRow("program, any case", "battery", "", "All", any, any, "ca", "2 runs");
        addFilterRow("program and model", "cell", "dl-15", "All", any, any, "db", "2 runs");
        addFilterRow("failed", "", "", "FAIL", any, any, "b", "1 run");
        addFilterRow("never ended", "", "", "UNFINISHED", any, any, "c", "1 run");
        addFilterRow("from a day on", "", "", "All", QDate(2026, 11, 15), any, "dcb", "3 runs");
        addFilterRow("to a day, all of it", "", "", "All", any, QDate(2026, 12, 1), "cba", "3 runs");
        addFilterRow("one day", "", "", "All", QDate(2026, 12, 1), QDate(2026, 12, 1), "c", "1 run");
        addFilterRow("nothing matches", "100%", "", "All", any, any, "", "0 runs");
    }
    void filtersPickRuns()
    {
        QFETCH(QString, program);
        QFETCH(QString, model);
        QFETCH(QString, result);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, runs);
        QFETCH(QString, status);
        openWindow(m_ini);
        QSignalSpy listed(m_window.get(), &RunsWindow::listShown);
        // A character at a time, as typed: one query once the typing settles.
        for (qsizetype typed = 1; typed <= program.size(); ++typed)
            m_window->programFilter()->setText(program.left(typed));
        m_window->modelFilter()->setText(model);
        m_window->resultFilter()->setCurrentText(result);
        m_window->fromDate()->setDate(from);
        m_window->toDate()->setDate(to);
        const bool filtered = !program.isEmpty() || !model.isEmpty() || result != QLatin1String("All") || from.isValid()
            || to.isValid();
        if (filtered)
            QVERIFY(listed.wait(30000));
        QCOMPARE(listed.count(), filtered ? 1 : 0);
        QCOMPARE(m_window->shownUuids(), uuidsOf(runs));
        QCOMPARE(m_window->statusText(), status);
    }

    void openingARunShowsIt_data()
    {
        QTest::addColumn<bool>("lab");
        QTest::addColumn<char>("run");
        QTest::addColumn<QString>("programCell");
        QTest::addColumn<qint64>("samples");
        QTest::addColumn<QString>("marks");
        QTest::addColumn<QStringList>("summaryHas");
        const QStringList passed{"Result:   PASS", "Ended:    2026-11-02 11:02:03  (1:02:03)", "Discharge"};
        const QStringList failed{"Result:   FAIL", "Charge", "3.2V"};
        QTest::newRow("passed, from a Windows station") << false << 'a' << "Battery12V.TSF" << 3LL << "S1 P1" << passed;
        QTest::newRow("failed at its second step") << false << 'b' << "Cell.TSF" << 5LL << "S1 S2 F2" << failed;
        QTest::newRow("never ended") << false << 'c' << "Battery24V.TSF" << 2LL << "S3"
                                     << QStringList{"Result:   UNFINISHED", "Ended:    -\n"};
        QTest::newRow("no samples") << false << 'd' << "Cell.TSF" << 0LL << "" << QStringList{"Result:   STOPPED"};
        QTest::newRow("lab server, passed") << true << 'a' << "Battery12V.TSF" << 3LL << "S1 P1" << passed;
        QTest::newRow("lab server, failed") << true << 'b' << "Cell.TSF" << 5LL << "S1 S2 F2" << failed;
    }
    void openingARunShowsIt()
    {
        QFETCH(bool, lab);
        QFETCH(char, run);
        QFETCH(QString, programCell);
        QFETCH(qint64, samples);
        QFETCH(QString, marks);
        QFETCH(QStringList, summaryHas);
        const QString ini = lab ? labIni() : m_ini;
        if (ini.isEmpty())
            QSKIP(qPrintable(m_lab->problem()));
        openWindow(ini, lab ? 1 : 0);
        QCOMPARE(m_window->shownUuids(), uuidsOf(QStringLiteral("dcba")));
        const int row = int(m_window->shownUuids().indexOf(uuidOf(run)));
        const QModelIndex program = m_window->table()->model()->index(row, RunListModel::Program);
        QCOMPARE(program.data().toString(), programCell);
        QVERIFY(program.data(Qt::ToolTipRole).toString().endsWith(programCell));
        QSignalSpy shown(m_window.get(), &RunsWindow::runShown);
        m_window->table()->selectRow(row);
        QVERIFY(shown.wait(30000));
        QCOMPARE(shown.at(0).at(0).toString(), uuidOf(run));
        QCOMPARE(m_window->chart()->history().sampleCount(), samples);
        QCOMPARE(marksOf(m_window->chart()->history()), marks);
        const QString summary = m_window->summaryView()->toPlainText();
        for (const QString &text : summaryHas)
            QVERIFY2(summary.contains(text), qPrintable(summary));
    }

    // Compare takes from 2 runs selected, from the bench or the server, and opens them together
    // in the order shown, the current run still shown beside.
    void selectedRunsAreCompared_data()
    {
        QTest::addColumn<bool>("lab");
        QTest::newRow("bench") << false;
        QTest::newRow("lab server") << true;
    }
    void selectedRunsAreCompared()
    {
        QFETCH(bool, lab);
        const QString ini = lab ? labIni() : m_ini;
        if (ini.isEmpty())
            QSKIP(qPrintable(m_lab->problem()));
        openWindow(ini, lab ? 1 : 0);
        m_window->table()->selectRow(int(m_window->shownUuids().indexOf(uuidOf('b'))));
        QVERIFY(!m_window->compareButton()->isEnabled());
        QVERIFY(!m_window->compareSelected());
        m_window->table()->selectionModel()->select(
            m_window->table()->model()->index(int(m_window->shownUuids().indexOf(uuidOf('a'))), 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(m_window->compareButton()->isEnabled());
        QCOMPARE(m_window->selectedUuids(), uuidsOf(QStringLiteral("ba")));
        CompareWindow *compare = m_window->compareSelected();
        QVERIFY(compare);
        QSignalSpy read(compare, &CompareWindow::runsRead);
        QVERIFY(read.wait(30000));
        QCOMPARE(compare->comparison().entries().size(), 2);
        QCOMPARE(compare->comparison().entries().at(0).run.uuid, uuidOf('b'));
        QCOMPARE(compare->comparison().entries().at(1).chart.sampleCount(), 3);
        QVERIFY(compare->windowTitle().startsWith(QStringLiteral("Compare 2 runs")));
    }

    // A finished run opens from the chart kept at its end: this one has no samples to read.
    void aFinishedRunOpensFromItsKeptChart()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, "[System]\r\nMeasureTime=100\r\n");
        ChartHistory kept;
        kept.stepStarted(1, QStringLiteral("Discharge"));
        for (int n = 0; n < 40; ++n)
            kept.add({n * 0.5, 12, 1, 12, 0, 0, 1});
        kept.verdict(1, {true, QStringLiteral("12.0"), Verdict::Quantity::Volts});
        const QString uuid = uuidOf('a');
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("kept"));
            db.setDatabaseName(dir.filePath(QStringLiteral("runs.sqlite")));
            QVERIFY(db.open());
            QString error;
            QVERIFY2(StoreSchema::migrate(db, &error) >= 0, qPrintable(error));
            QSqlQuery query(db);
            exec(query,
                "INSERT INTO runs (uuid, started, ended, result) VALUES (?, '2026-11-02T10:00:00.000', "
                "'2026-11-02T10:00:20.000', 'PASS')",
                {uuid});
            exec(query, "INSERT INTO run_charts VALUES (?, ?, ?)",
                {uuid, ChartHistoryBytes::Format, ChartHistoryBytes::write(kept)});
        }
        QSqlDatabase::removeDatabase(QStringLiteral("kept"));
        openWindow(ini);
        QCOMPARE(m_window->shownUuids(), QStringList{uuid});
        QSignalSpy shown(m_window.get(), &RunsWindow::runShown);
        m_window->table()->selectRow(0);
        QVERIFY(shown.wait(30000));
        QCOMPARE(m_window->chart()->history().sampleCount(), 40);
        QCOMPARE(marksOf(m_window->chart()->history()), QStringLiteral("S1 P1"));
    }

    // Export CSV's tool tip names the columns of the file it writes, in their order.
    void exportToolTipNamesTheColumnsWritten()
    {
        openWindow(m_ini);
        QPushButton *exportCsv = nullptr;
        for (QPushButton *button : m_window->findChildren<QPushButton *>())
            if (button->text() == u"Export CSV…")
                exportCsv = button;
        QVERIFY(exportCsv);
        RunArchive archive = RunArchive::local(m_dir.filePath(QStringLiteral("runs.sqlite")));
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> run = archive.run(uuidOf('a'), &error);
        QVERIFY2(run, qPrintable(error));
        QBuffer written;
        QVERIFY(written.open(QIODevice::WriteOnly));
        QVERIFY(RunExport::writeCsv(archive, *run, written).isEmpty());
        const QString header = QString::fromLatin1(written.data().left(written.data().indexOf("\r\n")));
        QVERIFY(exportCsv->toolTip().contains(header.split(u',').join(QStringLiteral(", "))));
        QVERIFY(!exportCsv->toolTip().contains(QStringLiteral("as the run's own CSV log")));
    }

    void mainWindowOpensTheRunsAndARunEndedIsListed()
    {
        Bench bench(m_dir.filePath(QStringLiteral("runs.sqlite")));
        QVERIFY(bench.ready);
        Engine &engine = *bench.engine;
        MainWindow &window = *bench.window;
        QAction *runs = nullptr;
        for (QAction *action : window.findChildren<QAction *>()) {
            if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_R))
                runs = action;
        }
        QVERIFY(runs);
        runs->trigger();
        RunsWindow *list = window.runsWindow();
        QVERIFY(list && list->isVisible());
        QSignalSpy listed(list, &RunsWindow::listShown);
        QVERIFY(listed.wait(30000));
        QCOMPARE(list->shownUuids().size(), Runs.size());

        engine.program().setGridRowCount(3);
        engine.program().setCell(1, 0, QStringLiteral("1"));
        engine.program().setCell(1, 1, QStringLiteral("Rest"));
        engine.program().setCell(1, 5, QStringLiteral("1"));
        window.form()->startRun();
        QTRY_COMPARE_WITH_TIMEOUT(list->shownUuids().size(), Runs.size() + 1, 30000);
        QCOMPARE(list->shownUuids().first(), engine.runStore().runUuid());
    }

    // A run opened while it still goes on follows it: its detail never contradicts the list
    // beside it, during the run or after its end, without the operator clicking again. Ended, it
    // is drawn as the run's own chart drew it, a column where the loop went round included.
    void anOpenRunFollowsTheRunToItsEnd()
    {
        Bench bench;
        QVERIFY(bench.ready);
        Engine &engine = *bench.engine;
        MainWindow &window = *bench.window;
        engine.program().setGridRowCount(5);
        const QList<QMap<int, QString>> rows{{{1, "FOR"}, {7, "2"}}, {{1, "Rest"}, {5, "3"}}, {{1, "LOOP"}}};
        for (int row = 1; row <= int(rows.size()); ++row) {
            engine.program().setCell(row, 0, QString::number(row));
            for (auto cell = rows[row - 1].cbegin(); cell != rows[row - 1].cend(); ++cell)
                engine.program().setCell(row, cell.key(), cell.value());
        }
        window.form()->startRun();
        QTRY_VERIFY_WITH_TIMEOUT(engine.recorder().record().samples > 2, 30000);

        window.showRuns();
        RunsWindow *list = window.runsWindow();
        const QString uuid = engine.runStore().runUuid();
        QTRY_VERIFY_WITH_TIMEOUT(list->shownUuids().contains(uuid), 30000);
        QSignalSpy shown(list, &RunsWindow::runShown);
        list->table()->selectRow(int(list->shownUuids().indexOf(uuid)));
        QVERIFY(shown.wait(30000));
        QVERIFY2(list->summaryView()->toPlainText().contains(QLatin1String("Result:   UNFINISHED")),
            qPrintable(list->summaryView()->toPlainText()));
        const qint64 first = list->chart()->history().sampleCount();
        // Still going: it is read again as it grows.
        QTRY_VERIFY_WITH_TIMEOUT(list->chart()->history().sampleCount() > first, 30000);

        QTRY_VERIFY_WITH_TIMEOUT(engine.recorder().record().isFinished(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(list->summaryView()->toPlainText().contains(QLatin1String("Result:   PASS")), 30000);
        const int row = int(list->shownUuids().indexOf(uuid));
        const QModelIndex samples = list->table()->model()->index(row, RunListModel::Samples);
        QTRY_COMPARE_WITH_TIMEOUT(list->chart()->history().sampleCount(), engine.recorder().record().samples, 30000);
        QCOMPARE(samples.data(RunListModel::SortRole).toLongLong(), engine.recorder().record().samples);
        QCOMPARE(HistoryLines::of(list->chart()->history()), HistoryLines::of(window.chart()->history()));
    }

    void unreadableStoreIsSaid_data()
    {
        QTest::addColumn<bool>("server");
        QTest::addColumn<QString>("said");
        QTest::newRow("no store file yet") << false << "no run has been stored here yet";
        QTest::newRow("server not answering") << true << "@127.0.0.1:";
    }
    void unreadableStoreIsSaid()
    {
        QFETCH(bool, server);
        QFETCH(QString, said);
        QTemporaryDir empty;
        const QString ini = empty.filePath(QStringLiteral("VORN.INI"));
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        TestFiles::writeBytes(
            ini, QStringLiteral("[Store]\r\nHost=127.0.0.1\r\nPort=%1\r\nUser=lab\r\n").arg(port).toLatin1());
        m_window = std::make_unique<RunsWindow>(ini);
        m_window->show();
        if (server)
            m_window->sourceBox()->setCurrentIndex(1);
        // The window answers while the store is asked: the answer comes by the event loop, after
        // the window has said that it is reading.
        QVERIFY2(m_window->statusText().startsWith(QLatin1String("Reading the runs of")),
            qPrintable(m_window->statusText()));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->statusText().contains(said), 30000);
        QVERIFY(m_window->shownUuids().isEmpty());
    }
};

QTEST_MAIN(TestRunsWindow)
#include "tst_runswindow.moc"
