#include "SimProcess.h"
#include "TestFiles.h"
#include "link/SystemClock.h"
#include "link/TransportLink.h"
#include "run/InterruptWatcher.h"
#include "run/RunController.h"
#include "run/RunStatus.h"
#include "station/Engine.h"
#include "store/RunArchive.h"
#include "ui/HelpMenu.h"
#include "ui/LabWindow.h"
#include "ui/LargeReadout.h"
#include "ui/LoadOffBar.h"
#include "ui/MainForm.h"
#include "ui/MainWindow.h"
#include "ui/MeasureFrame.h"
#include "ui/RunsWindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <csignal>
#include <unistd.h>

namespace {

// Steps of ten minutes: a rest, and a discharge at 1 A.
const QMap<int, QString> RestStep{{0, "1"}, {1, "Rest"}, {5, "600"}};
const QMap<int, QString> DischargeStep{
    {0, "1"}, {1, "Discharge"}, {2, "CC"}, {3, "1"}, {4, "0"}, {5, "600"}, {6, "0"}, {30, "0"}, {31, "0"}};

} // namespace

// The window around the main form: link trouble in the bar, not in boxes; the trace in a panel
// of its own; Esc stops a run; a signal ends the program as a close does.
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
        m_sim = std::make_unique<SimProcess>(QStringList{"--tcp", "0", "--log", simLog()});
        QVERIFY(m_sim->waitForAnnouncements(1));
        const QString ini = m_dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini,
            TestFiles::lanLoadSettings(m_sim->port(QStringLiteral("load")))
                + "[VORN]\r\nTestFileName=" + programFile().toUtf8() + "\r\n");
        m_engine = std::make_unique<Engine>(SystemClock::instance(), ini);
        m_window = std::make_unique<MainWindow>(*m_engine, m_dir.path());
        m_boxes.clear();
        m_window->form()->setMessageFunction([this](const QString &text) { m_boxes.append(text); });
        m_window->form()->loadSettingsAndProgram();
        m_window->show();
    }
    void cleanup()
    {
        // A test that failed mid-run leaves no run going into the next: the window's close stops
        // it and waits for its off lines.
        if (m_window)
            m_window->close();
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
        m_window->form()->toggleTrace();
        QVERIFY(m_window->traceDock()->isVisible());
        // Where the result log shows, inside the form's scrolled area.
        const QTableView *results = m_window->form()->listView();
        const QRect resultsArea(results->mapTo(m_window.get(), results->visibleRegion().boundingRect().topLeft()),
            results->visibleRegion().boundingRect().size());
        QVERIFY(!m_window->traceDock()->geometry().intersects(resultsArea));
        m_window->traceDock()->close();
        QVERIFY(!m_window->form()->traceVisible());
    }

    // Help holds what no button shows: the version, the keys, and where this window's files are.
    void helpMenuSaysWhatTheWindowDoesNotShow_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("title");
        QTest::newRow("about") << "&About"
                               << "About";
        QTest::newRow("keys") << "&Keys"
                              << "Keys";
        QTest::newRow("places") << "&Where Files Are Kept"
                                << "Where Files Are Kept";
    }
    void helpMenuSaysWhatTheWindowDoesNotShow()
    {
        QFETCH(QString, action);
        QFETCH(QString, title);
        QMenu *help = nullptr;
        QAction *runs = nullptr;
        for (QAction *menuAction : m_window->menuBar()->actions()) {
            QMenu *menu = menuAction->menu();
            if (menuAction->text() == u"&Help")
                help = menu;
            for (QAction *item : menu ? menu->actions() : QList<QAction *>())
                if (item->text() == u"&Runs…")
                    runs = item;
        }
        QVERIFY(help && runs);
        auto *helpMenu = qobject_cast<HelpMenu *>(help);
        QVERIFY(helpMenu);
        QStringList shown;
        helpMenu->setTextBox([&shown](const QString &boxTitle, const QString &text) { shown << boxTitle << text; });
        const QList<QAction *> items = help->actions();
        const auto item = std::find_if(items.begin(), items.end(), [&](QAction *a) { return a->text() == action; });
        QVERIFY(item != items.end());
        (*item)->trigger();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.first(), title);
        const QString &text = shown.last();
        const QString folder = QDir::toNativeSeparators(QFileInfo(m_dir.path()).absoluteFilePath());
        QStringList expected;
        if (title == u"About")
            expected = {QLatin1String(MainForm::Caption), QStringLiteral("Version ")};
        else if (title == u"Keys")
            expected = {runs->shortcut().toString(QKeySequence::NativeText), QStringLiteral("Esc\t")};
        else
            expected = {folder + QStringLiteral("/VORN.INI"), folder + QStringLiteral("/TestLog "),
                folder + QStringLiteral("/runs.sqlite")};
        for (const QString &part : expected)
            QVERIFY2(text.contains(part), qPrintable(QStringLiteral("%1 not in: %2").arg(part, text)));
        if (title == u"About")
            QVERIFY(QRegularExpression(QStringLiteral("Version \\d+\\.\\d+")).match(text).hasMatch());
    }

    // The step time left reads alike in the top band's box and in the Run panel.
    void stepTimeLeftReadsAlikeInBothPlaces()
    {
        startLongRun(RestStep);
        auto *box = m_window->form()->findChild<QLineEdit *>(QStringLiteral("Text2"));
        QTRY_VERIFY_WITH_TIMEOUT(!box->text().isEmpty() && !m_window->status()->timeLeft().isEmpty(), 30000);
        const QString boxText = box->text();
        const QString panelText = m_window->status()->timeLeft();
        m_window->form()->stopRun();
        QTRY_VERIFY_WITH_TIMEOUT(!m_engine->run().isRunning(), 30000);
        const QRegularExpression form(QStringLiteral("^\\d+\\.\\d s$"));
        QVERIFY2(form.match(boxText).hasMatch(), qPrintable(boxText));
        QVERIFY2(form.match(panelText).hasMatch(), qPrintable(panelText));
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
        // Esc that closes a drop-down or a menu is theirs: a habit must not end a ten-hour run.
        QTest::newRow("the Function drop-down, open") << "combo" << false;
        QTest::newRow("the View menu, open") << "menu" << false;
    }
    void escapeStopsARunFromThisWindowOnly()
    {
        QFETCH(QString, where);
        QFETCH(bool, stops);
        startLongRun(RestStep);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->status()->phase(), RunStatus::Phase::Running, 30000);
        QWidget *target = m_window->form()->listView();
        if (where == u"trace") {
            m_window->traceDock()->show();
            m_window->traceDock()->setFloating(true);
            target = m_window->form()->traceListView();
        } else if (where == u"runs") {
            m_window->showRuns();
            target = m_window->runsWindow()->programFilter();
        }
        auto *combo = m_window->findChild<QComboBox *>(QStringLiteral("FunctionCombo"));
        QMenu *menu
            = m_window->menuBar()->actions().value(0) ? m_window->menuBar()->actions().value(0)->menu() : nullptr;
        QVERIFY(combo && menu);
        if (where == u"combo" || where == u"menu") {
            m_window->activateWindow();
            QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), m_window.get(), 30000);
            if (where == u"combo")
                combo->showPopup();
            else
                menu->popup(m_window->mapToGlobal(QPoint(10, 10)));
            QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget(), 30000);
            QWidget *popup = QApplication::activePopupWidget();
            QTest::keyClick(popup->focusWidget() ? popup->focusWidget() : popup, Qt::Key_Escape);
            // The popup took its Esc and closed.
            QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activePopupWidget(), 30000);
            QVERIFY(where != u"combo" || !combo->view()->isVisible());
            target = m_window->form()->listView();
        } else {
            target->activateWindow();
            QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), target->window(), 30000);
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Escape);
        }
        if (!stops) {
            // Samples go on being logged: the run was not cancelled.
            const int rows = m_engine->results().rowCount();
            QTRY_VERIFY_WITH_TIMEOUT(m_engine->results().rowCount() >= rows + 2, 30000);
            QVERIFY(m_engine->run().isRunning());
            m_window->activateWindow();
            QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), m_window.get(), 30000);
            QTest::keyClick(m_window->form()->listView(), Qt::Key_Escape);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_window->status()->text(), QStringLiteral("Stopped"), 30000);
        QVERIFY(!m_engine->run().isRunning());
    }

    // Told to end during a run (a logout, kill, Ctrl+C in its terminal), the program ends as when
    // it is closed: the run is stopped with the load switched off, kept in the store with why it
    // ended, and the program quits.
    void signalEndsTheProgramWithTheLoadOff_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGQUIT") << int(SIGQUIT);
    }
    void signalEndsTheProgramWithTheLoadOff()
    {
        QFETCH(int, signal);
        startLongRun(DischargeStep);
        QTRY_COMPARE_WITH_TIMEOUT(lastLoadLine(), QStringLiteral("MEAS:VC?"), 30000);
        // The Runs window open as well: the program ends all the same.
        m_window->showRuns();

        InterruptWatcher interrupts;
        connect(&interrupts, &InterruptWatcher::interrupted, m_window.get(), &MainWindow::endBySignal);
        QTimer::singleShot(0, this, [signal] { ::kill(::getpid(), signal); });
        QTimer hangGuard;
        hangGuard.setSingleShot(true);
        connect(&hangGuard, &QTimer::timeout, [] { QApplication::exit(1); });
        hangGuard.start(60000);
        QCOMPARE(QApplication::exec(), 0);

        QVERIFY(!m_engine->run().isRunning());
        QVERIFY(!m_window->isVisible());
        QVERIFY(TestFiles::readBytes(programFile()).contains("\r\n1,Discharge,CC,1,0,600,0,"));
        // The window may still ask the load who it is once the run has let go of the link ("REM",
        // "name?"), which leaves the load as the off line left it.
        QTRY_COMPARE_WITH_TIMEOUT(lastLoadCommand(), QStringLiteral("LOAD OFF"), 30000);
        RunArchive store = RunArchive::local(m_engine->runStore().path());
        QString error;
        QVERIFY2(store.open(&error), qPrintable(error));
        const std::optional<StoredRun> stored = store.run(m_engine->runStore().runUuid(), &error);
        QVERIFY2(stored, qPrintable(error));
        QCOMPARE(stored->result, QStringLiteral("STOPPED"));
        QCOMPARE(stored->message,
            QStringLiteral("The run was stopped: the program was told to end (%1).")
                .arg(InterruptWatcher::signalName(signal)));
    }

    // A run stopped while its load is out of reach ends with the load perhaps still on: a red bar
    // says so until a try reaches the load, and the window asks before it closes meanwhile.
    void aLoadThatMayStillBeOnIsSaidUntilProvedOff()
    {
        const quint16 port = leaveTheLoadUnconfirmed();
        LoadOffBar *bar = m_window->loadOffBar();
        QVERIFY(bar->isVisible());
        QVERIFY2(bar->text().startsWith(QStringLiteral("The load at 127.0.0.1:%1 may still be on: it could not be told "
                                                       "to switch off. Trying again… (")
                                            .arg(port)),
            qPrintable(bar->text()));
        QVERIFY(bar->text().contains(QStringLiteral(" s since the run's end")));
        QVERIFY(m_boxes.isEmpty());
        QStringList asked;
        m_window->setCloseQuestion([&](const QString &text) {
            asked.append(text);
            return false;
        });
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.first().contains(QStringLiteral("may still be on")));
        // No run starts while the load is not known to be off.
        m_window->form()->startRun();
        QVERIFY(!m_engine->run().isRunning());
        QTRY_VERIFY(m_window->barText().startsWith(QStringLiteral("The test cannot start: the load at")));

        // The load is back at its address: Try Now reaches it, and the bar goes.
        m_sim = std::make_unique<SimProcess>(QStringList{"--tcp", QString::number(port), "--log", simLog()});
        QVERIFY(m_sim->waitForAnnouncements(1));
        QTest::mouseClick(bar->tryNowButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(bar->isHidden(), 30000);
        QVERIFY2(m_window->barText().startsWith(
                     QStringLiteral("The load at 127.0.0.1:%1 is confirmed off (0.000 A), ").arg(port)),
            qPrintable(m_window->barText()));
        QCOMPARE(lastLoadLine(), QStringLiteral("MEAS:VC?"));
        QCOMPARE(lastLoadCommand(), QStringLiteral("LOAD OFF"));
        QVERIFY(m_window->close());
        QCOMPARE(asked.size(), 1);
    }
    void closingWhileTheLoadMayBeOnEndsTheTries()
    {
        leaveTheLoadUnconfirmed();
        m_window->setCloseQuestion([](const QString &) { return true; });
        QVERIFY(m_window->close());
        QVERIFY(!m_engine->run().offKeeper().isTrying());
        QVERIFY(m_engine->recorder().record().loadOff.unconfirmed());
    }

    // At the end of a run its summary is shown whole, without a sideways scroll; the next run
    // starts without the last one's summary or report.
    void theSummaryFitsAndGoesWithTheNextRun()
    {
        m_window->resize(1366, 768);
        const QMap<int, QString> shortRest{{0, "1"}, {1, "Rest"}, {5, "1"}};
        startLongRun(shortRest);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->summaryView()->toPlainText().isEmpty(), 60000);
        QApplication::processEvents();
        // Every line of the steps' table and totals on one line of its own, nothing to scroll to.
        QPlainTextEdit *summary = m_window->summaryView();
        QCOMPARE(summary->horizontalScrollBar()->maximum(), 0);
        for (QTextBlock block = summary->document()->begin(); block.isValid(); block = block.next()) {
            if (block.text().startsWith(QLatin1String("The run")))
                continue;
            QVERIFY2(block.layout()->lineCount() <= 1, qPrintable(block.text()));
        }
        QPushButton *report = m_window->findChild<QPushButton *>(QStringLiteral("RunReport"));
        QTRY_VERIFY_WITH_TIMEOUT(report->isEnabled(), 30000);

        QSignalSpy started(&m_engine->recorder(), &RunRecorder::runStarted);
        m_window->form()->startRun();
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), 1, 30000);
        QCOMPARE(m_window->summaryView()->toPlainText(), QString());
        QVERIFY(!report->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!m_engine->run().isRunning(), 60000);
    }

    // On a 1366×768 screen every part of the window can be reached: the step boxes at the top
    // right are whole, and the result log and Measure Item keep rows of their own, scrolled to if
    // the run panel takes the room.
    void everyRegionIsReachableAt1366By768()
    {
        m_window->resize(1366, 768);
        QApplication::processEvents();
        MainForm *form = m_window->form();
        auto *area = m_window->findChild<QScrollArea *>(QStringLiteral("FormArea"));
        QVERIFY(area);
        // No sideways scrolling: the form is as wide as what shows it.
        QVERIFY2(form->width() <= area->viewport()->width(),
            qPrintable(QStringLiteral("%1 > %2").arg(form->width()).arg(area->viewport()->width())));
        for (const char *name : {"Text1", "Text2", "Label5"}) {
            const QWidget *box = form->findChild<QWidget *>(QLatin1String(name));
            QVERIFY2(box->geometry().right() < form->width(), name);
        }
        const QRect log = form->listView()->geometry();
        QVERIFY2(log.height() >= 5 * form->listView()->verticalHeader()->defaultSectionSize(),
            qPrintable(QString::number(log.height())));
        QVERIFY(form->measureFrame()->height() == log.height());
        // Scrolled to the log's bottom, all of it shows.
        area->ensureWidgetVisible(form->listView(), 0, 0);
        const QRect shown(form->mapFrom(area->viewport(), QPoint()), area->viewport()->size());
        QVERIFY(shown.contains(QRect(log.left(), log.bottom() - 20, 20, 20)));
    }

    // A view of the run in digits to read from two metres: V, I, the run's Ah, step n of N and
    // the step's time left, each at least an eighth of the window's height.
    // View → Lab opens the lab's view; a settings file that names no server says so there.
    void theLabOpensAndSaysWhenNoServerIsNamed()
    {
        QAction *lab = m_window->findChild<QAction *>(QStringLiteral("LabAction"));
        QVERIFY(lab);
        QCOMPARE(lab->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
        lab->trigger();
        LabWindow *window = m_window->labWindow();
        QVERIFY(window && window->isVisible());
        QVERIFY2(window->statusText().startsWith(QStringLiteral("No lab server is named in the [Store] section")),
            qPrintable(window->statusText()));
        lab->trigger();
        QCOMPARE(m_window->labWindow(), window);
    }

    void theLargeReadoutIsReadableFromAcrossTheBench()
    {
        QAction *large = m_window->findChild<QAction *>(QStringLiteral("LargeReadoutAction"));
        QVERIFY(large);
        QCOMPARE(large->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
        large->trigger();
        LargeReadout *readout = m_window->largeReadout();
        QVERIFY(readout && readout->isVisible());
        readout->resize(1280, 720);
        QApplication::processEvents();
        startLongRun(DischargeStep);
        QTRY_VERIFY_WITH_TIMEOUT(readout->showsLive(), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(readout->values().at(3), QStringLiteral("Step 1 of 1"), 30000);
        const QStringList values = readout->values();
        QVERIFY2(values.at(0).endsWith(QLatin1String(" V")) && values.at(1).endsWith(QLatin1String(" A"))
                && values.at(2).endsWith(QLatin1String(" Ah"))
                && QRegularExpression(QStringLiteral("^\\d+\\.\\d s left$")).match(values.at(4)).hasMatch(),
            qPrintable(values.join(u'|')));
        for (QLabel *label : readout->valueLabels()) {
            const QFontMetrics metrics(label->font());
            QVERIFY2(metrics.tightBoundingRect(QStringLiteral("8")).height() >= 720 / 8,
                qPrintable(label->text() + QString::number(metrics.tightBoundingRect(QStringLiteral("8")).height())));
            QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(), qPrintable(label->text()));
        }
        m_window->form()->stopRun();
        QTRY_VERIFY_WITH_TIMEOUT(!readout->showsLive(), 30000);
    }

private:
    QString simLog() const { return m_dir.filePath(QStringLiteral("sim.log")); }
    QString programFile() const { return m_dir.filePath(QStringLiteral("test.TSF")); }

    // The last line the virtual load received ("L <time> <=|?> <line>" in its log).
    QString lastLoadLine() const
    {
        QString last;
        for (const QString &entry : QString::fromLatin1(TestFiles::readBytes(simLog())).split(u'\n'))
            if (entry.startsWith(u"L "))
                last = entry.section(u' ', 3);
        return last;
    }

    // The last line the virtual load received that sets something: no question, no "REM".
    QString lastLoadCommand() const
    {
        QString last;
        for (const QString &entry : QString::fromLatin1(TestFiles::readBytes(simLog())).split(u'\n')) {
            const QString line = entry.section(u' ', 3);
            if (entry.startsWith(u"L ") && !line.endsWith(u'?') && line != u"REM")
                last = line;
        }
        return last;
    }

    // A run whose load goes away, then stopped: its off lines cannot be proved. The load's port.
    quint16 leaveTheLoadUnconfirmed()
    {
        startLongRun(DischargeStep);
        [&] { QTRY_COMPARE_WITH_TIMEOUT(lastLoadLine(), QStringLiteral("MEAS:VC?"), 30000); }();
        const quint16 port = m_sim->port(QStringLiteral("load"));
        m_sim.reset();
        m_window->form()->stopRun();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(!m_engine->run().isRunning(), 60000); }();
        return port;
    }

    // Run, for a program of one step of these cells by column.
    void startLongRun(const QMap<int, QString> &cells)
    {
        TestProgram &program = m_engine->program();
        program.setGridRowCount(3);
        for (auto it = cells.cbegin(); it != cells.cend(); ++it)
            program.setCell(1, it.key(), it.value());
        m_window->form()->startRun();
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
