#include "SimProcess.h"
#include "TestFiles.h"
#include "link/SystemClock.h"
#include "link/TransportLink.h"
#include "run/Engine.h"
#include "run/RunController.h"
#include "run/RunStatus.h"
#include "ui/MainForm.h"
#include "ui/MainWindow.h"
#include "ui/RunsWindow.h"

#include <QApplication>
#include <QDockWidget>
#include <QLineEdit>
#include <QListView>
#include <QMap>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A step of ten minutes.
const QMap<int, QString> RestStep{{0, "1"}, {1, "Rest"}, {5, "600"}};

} // namespace

// The window around the main form: link trouble in the bar, not in boxes; the trace in a panel
// of its own; Esc stops a run.
class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<Engine> m_engine;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_boxes;

private Q_SLOTS:
    void init()
    {
        m_sim = std::make_unique<SimProcess>(QStringList{"--tcp", "0"});
        QVERIFY(m_sim->waitForAnnouncements(1));
        const QString ini = m_dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(m_sim->port(QStringLiteral("load"))));
        m_engine = std::make_unique<Engine>(SystemClock::instance(), ini);
        m_window = std::make_unique<MainWindow>(*m_engine, SystemClock::instance(), m_dir.path());
        m_boxes.clear();
        m_window->form()->setMessageFunction([this](const QString &text) { m_boxes.append(text); });
        m_window->form()->Form_Load();
        m_window->show();
    }
    void cleanup()
    {
        m_window.reset();
        m_engine.reset();
        m_sim.reset();
    }

    void linkTroubleGoesToTheBar()
    {
        const QString address = QStringLiteral("127.0.0.1:%1").arg(m_sim->port(QStringLiteral("load")));
        for (int i = 0; i < 3; ++i)
            Q_EMIT m_engine->loadLink().message(QStringLiteral("Lost Connect!"));
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(m_window->barText(), QStringLiteral("Lost Connect!  (load at %1)").arg(address));
    }

    void traceHasItsOwnPanel()
    {
        QListView *trace = m_window->form()->traceListView();
        QCOMPARE(trace->parentWidget(), m_window->traceDock());
        QVERIFY(!m_window->traceDock()->isVisible());
        m_window->form()->MeasureFrame_DblClick();
        QVERIFY(m_window->traceDock()->isVisible());
        const QTableView *results = m_window->form()->listView();
        const QRect resultsArea(results->mapTo(m_window.get(), QPoint()), results->size());
        QVERIFY(!m_window->traceDock()->geometry().intersects(resultsArea));
        m_window->traceDock()->close();
        QVERIFY(!m_window->form()->traceVisible());
    }

    // Esc stops a run from anywhere in the window, its floating panels included, but not from the
    // Runs window, where the operator only looks back: there it leaves the run going.
    void escapeStopsARunFromThisWindowOnly_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("stops");
        QTest::newRow("the result log") << "log" << true;
        QTest::newRow("the floating trace panel") << "trace" << true;
        QTest::newRow("the Runs window's Program filter") << "runs" << false;
    }
    void escapeStopsARunFromThisWindowOnly()
    {
        QFETCH(QString, where);
        QFETCH(bool, stops);
        startLongRun(RestStep);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->status()->phase(), RunStatus::Phase::Running, 5000);
        QWidget *target = m_window->form()->listView();
        if (where == u"trace") {
            m_window->traceDock()->show();
            m_window->traceDock()->setFloating(true);
            target = m_window->form()->traceListView();
        } else if (where == u"runs") {
            m_window->showRuns();
            target = m_window->runsWindow()->programFilter();
        }
        target->activateWindow();
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), target->window(), 5000);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        if (!stops) {
            // Samples go on being logged: the run was not cancelled.
            const int rows = m_engine->results().rowCount();
            QTRY_VERIFY_WITH_TIMEOUT(m_engine->results().rowCount() >= rows + 2, 10000);
            QVERIFY(m_engine->run().isRunning());
            m_window->activateWindow();
            QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), m_window.get(), 5000);
            QTest::keyClick(m_window->form()->listView(), Qt::Key_Escape);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_window->status()->text(), QStringLiteral("Stopped"), 5000);
        QVERIFY(!m_engine->run().isRunning());
    }

private:
    // Run, for a program of one step of these cells by column.
    void startLongRun(const QMap<int, QString> &cells)
    {
        TestProgram &program = m_engine->program();
        program.setGridRowCount(3);
        for (auto it = cells.cbegin(); it != cells.cend(); ++it)
            program.setCell(1, it.key(), it.value());
        m_window->form()->RunCommand_Click();
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
