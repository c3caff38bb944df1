#include "PgCluster.h"
#include "ProcessEnd.h"
#include "ScreenRoom.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "report/ReportStyle.h"
#include "ui/LabWindow.h"
#include "ui/RunChart.h"

#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The Lab window against a throwaway PostgreSQL: the stations as the server keeps them, filtered by
// name and state, and a vornic-run station's run followed as the station forwards it.
class TestLabWindow : public QObject
{
    Q_OBJECT

    PgCluster m_cluster;
    QTemporaryDir m_dir;
    QString m_ini;

    QString onServer(const QStringList &statements)
    {
        QString error;
        {
            QSqlDatabase db = m_cluster.server().addConnection(QStringLiteral("seed"));
            if (!db.open())
                error = db.lastError().text();
            QSqlQuery query(db);
            for (const QString &statement : statements) {
                if (error.isEmpty() && !query.exec(statement))
                    error = query.lastError().text();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("seed"));
        return error;
    }

    // `runner` started as the station `name` on the load `sim`, forwarding to the cluster, with a
    // program of the one step `step`.
    void startStation(QProcess &runner, const SimProcess &sim, const QString &name, const QByteArray &step)
    {
        const QString ini = m_dir.filePath(name + QStringLiteral(".INI"));
        TestFiles::writeBytes(ini,
            TestFiles::lanLoadSettings(sim.port(QStringLiteral("load"))) + m_cluster.storeSettings()
                + "Station=" + name.toUtf8() + "\r\n");
        const QString program = m_dir.filePath(name + QStringLiteral(".TSF"));
        TestFiles::writeBytes(program, TestFiles::crlfLines({"header", step}));
        runner.start(TestFiles::binary("vornic-run"),
            {"--settings", ini, "--log", m_dir.filePath(name + QStringLiteral(".CSV")), program});
    }

    static QStringList column(const LabWindow &window, int column)
    {
        QStringList cells;
        for (int row = 0; row < window.table()->model()->rowCount(); ++row)
            cells.append(window.table()->model()->index(row, column).data().toString());
        return cells;
    }

private Q_SLOTS:
    // A laptop's screen shows the whole window, its explanation and its close button included.
    void opensWithinTheScreen()
    {
        const LabWindow window(m_ini);
        QCOMPARE(beyondItsScreen(window), QString());
    }

    void initTestCase()
    {
        if (!m_cluster.problem().isEmpty())
            QSKIP(qPrintable(m_cluster.problem()));
        m_ini = m_dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(m_ini, m_cluster.storeSettings());
        // A station brings the server's tables to its version: one short run does.
        SimProcess sim({"--tcp", "0", "--source", "supply"});
        QVERIFY(sim.waitForAnnouncements(1));
        QProcess runner;
        startStation(runner, sim, QStringLiteral("First"), "1,Rest,,,,1,,,,,,,,,,,,,,,,,,,,,,,,,,");
        QVERIFY(waitForEnd(runner));
        QCOMPARE(runner.exitCode(), 0);
    }

    // A running station, one not heard from for 14 s in a run after a failed one, one that ran nothing:
    // each said as such, the silent one in red with how long, and the filters pick them.
    void stationsAreShownAndFiltered()
    {
        QCOMPARE(onServer({"DELETE FROM station_states", "DELETE FROM stations",
                     "INSERT INTO station_states (station, activity, run_uuid, program, step, steps, row, function, "
                     "v, i, ah, elapsed_s, step_left_s, heard_at) VALUES ('Bench A', 'RUNNING', 'a', "
                     "'/p/cell.TSF', 2, 3, 2, 'Discharge', 3.7, 1, 0.25, 75, 12.5, now())",
                     "INSERT INTO station_states (station, activity, run_uuid, last_result, heard_at) VALUES "
                     "('Bench B', 'RUNNING', 'b', 'FAIL', now() - interval '14 s')",
                     "INSERT INTO station_states (station, activity, heard_at) VALUES ('Bench C', 'IDLE', now())"}),
            QString());
        LabWindow window(m_ini);
        QSignalSpy shown(&window, &LabWindow::stationsShown);
        window.show();
        QVERIFY(shown.wait(30000));
        QCOMPARE(column(window, StationTableModel::Station), QStringList({"Bench A", "Bench B", "Bench C"}));
        QCOMPARE(column(window, StationTableModel::State).at(0), QStringLiteral("Running"));
        QVERIFY(QRegularExpression(QStringLiteral("^Silent \\(1\\d s\\)$"))
                    .match(column(window, StationTableModel::State).at(1))
                    .hasMatch());
        QCOMPARE(column(window, StationTableModel::State).at(2), QStringLiteral("Idle"));
        QCOMPARE(column(window, StationTableModel::Step).at(0), QStringLiteral("2 of 3 Discharge"));
        QCOMPARE(column(window, StationTableModel::StepLeft).at(0), QStringLiteral("12.5 s"));
        QCOMPARE(column(window, StationTableModel::LastResult).at(1), QStringLiteral("FAIL"));
        QVERIFY2(window.statusText().contains(QStringLiteral("; 1 silent")), qPrintable(window.statusText()));

        window.stateFilter()->setCurrentText(QStringLiteral("Silent"));
        QCOMPARE(column(window, StationTableModel::Station), QStringList{"Bench B"});
        window.stateFilter()->setCurrentText(QStringLiteral("All"));
        window.stationFilter()->setText(QStringLiteral("ch c"));
        QCOMPARE(column(window, StationTableModel::Station), QStringList{"Bench C"});
        // Read again every 2 s: the next reading keeps the filter.
        QVERIFY(shown.wait(30000));
        QCOMPARE(column(window, StationTableModel::Station), QStringList{"Bench C"});
    }

    // A station whose last run left its load not confirmed off says so, in red on the silent
    // stations' fill, until a later try confirms it; then when that was. A load its run confirmed
    // off is not worth a word.
    void aLoadNotConfirmedOffIsShown()
    {
        QCOMPARE(
            onServer({"DELETE FROM station_states", "DELETE FROM stations",
                "INSERT INTO station_states (station, activity, last_result, load_off, load_off_address, "
                "load_off_since, heard_at) VALUES ('Bench D', 'FINISHED', 'PASS', 'UNCONFIRMED', 'TCP "
                "10.0.0.7:5025', '2026-12-07T10:01:05.000', now())",
                "INSERT INTO station_states (station, activity, last_result, load_off, load_off_address, "
                "load_off_since, load_off_confirmed_at, heard_at) VALUES ('Bench E', 'FINISHED', 'PASS', "
                "'CONFIRMED', 'TCP 10.0.0.8:5025', '2026-12-07T10:01:05.000', '2026-12-07T10:02:35.000', now())",
                "INSERT INTO station_states (station, activity, last_result, load_off, load_off_confirmed_at, "
                "heard_at) VALUES ('Bench F', 'FINISHED', 'PASS', 'CONFIRMED', '2026-12-07T10:01:05.000', now())"}),
            QString());
        LabWindow window(m_ini);
        QSignalSpy shown(&window, &LabWindow::stationsShown);
        window.show();
        QVERIFY(shown.wait(30000));
        QCOMPARE(column(window, StationTableModel::LoadOffState),
            QStringList({"load not confirmed off since 10:01:05", "confirmed off 10:02:35", ""}));
        const QAbstractItemModel *model = window.table()->model();
        const QModelIndex unconfirmed = model->index(0, StationTableModel::LoadOffState);
        QCOMPARE(unconfirmed.data(Qt::ForegroundRole).value<QColor>(), QColor(ReportStyle::Fail));
        QVERIFY(unconfirmed.data(Qt::BackgroundRole).isValid());
        QCOMPARE(unconfirmed.data(Qt::ToolTipRole).toString(),
            QStringLiteral("load not confirmed off since 2026-12-07 10:01:05 (TCP 10.0.0.7:5025)"));
        QVERIFY(!model->index(1, StationTableModel::LoadOffState).data(Qt::BackgroundRole).isValid());
        QCOMPARE(model->index(1, StationTableModel::LoadOffState).data(Qt::ToolTipRole).toString(),
            QStringLiteral("confirmed off 2026-12-07 10:02:35; load not confirmed off from 2026-12-07 10:01:05 (TCP "
                           "10.0.0.8:5025)"));
        QCOMPARE(
            model->headerData(StationTableModel::LoadOffState, Qt::Horizontal).toString(), QStringLiteral("Load off"));
    }

    // A station selected shows its run's chart and follows it while the station forwards it, to its
    // result.
    void aRunningStationIsFollowed()
    {
        QCOMPARE(onServer({"DELETE FROM station_states", "DELETE FROM stations"}), QString());
        SimProcess sim({"--tcp", "0", "--source", "supply"});
        QVERIFY(sim.waitForAnnouncements(1));
        QProcess runner;
        startStation(runner, sim, QStringLiteral("Followed"), "1,Discharge,CC,1,0,8,0,,,,,,,,,,,,,,,,,,,,,,,,0,0");
        QVERIFY(runner.waitForStarted());

        LabWindow window(m_ini);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(column(window, StationTableModel::State).contains(QStringLiteral("Running")), 60000);
        QSignalSpy followed(&window, &LabWindow::runShown);
        window.table()->selectRow(int(column(window, StationTableModel::Station).indexOf(QStringLiteral("Followed"))));
        QVERIFY(followed.wait(30000));
        const qint64 first = window.chart()->history().sampleCount();
        QTRY_VERIFY_WITH_TIMEOUT(window.chart()->history().sampleCount() > first, 60000);
        QCOMPARE(window.chartTitle(), QStringLiteral("Followed — Followed.TSF, running"));

        QVERIFY(waitForEnd(runner));
        QCOMPARE(runner.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(
            column(window, StationTableModel::LastResult).value(0), QStringLiteral("PASS"), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(window.chartTitle().endsWith(QStringLiteral("PASS")), 60000);
    }
};

QTEST_MAIN(TestLabWindow)
#include "tst_labwindow.moc"
