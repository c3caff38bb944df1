#include "SimProcess.h"
#include "TestFiles.h"
#include "link/SystemClock.h"
#include "link/TransportLink.h"
#include "run/Engine.h"
#include "run/RunController.h"
#include "run/RunStatus.h"
#include "ui/MainForm.h"
#include "ui/MainWindow.h"

#include <QDockWidget>
#include <QListView>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

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

    void escapeStopsARun()
    {
        m_engine->program().setGridRowCount(3);
        m_engine->program().setCell(1, 0, QStringLiteral("1"));
        m_engine->program().setCell(1, 1, QStringLiteral("Rest"));
        m_engine->program().setCell(1, 5, QStringLiteral("600"));
        m_window->form()->RunCommand_Click();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->status()->phase(), RunStatus::Phase::Running, 5000);
        QTest::keyClick(m_window->form()->listView(), Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->status()->text(), QStringLiteral("Stopped"), 5000);
        QVERIFY(!m_engine->run().isRunning());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
