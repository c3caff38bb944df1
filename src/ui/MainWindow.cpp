#include "ui/MainWindow.h"

#include "device/Identification.h"
#include "results/RunSummary.h"
#include "run/InterruptWatcher.h"
#include "run/RunStatus.h"
#include "station/Engine.h"
#include "store/RunForwarder.h"
#include "ui/HelpMenu.h"
#include "ui/LabWindow.h"
#include "ui/LargeReadout.h"
#include "ui/LoadOffBar.h"
#include "ui/MainForm.h"
#include "ui/PopupEscapeWatch.h"
#include "ui/RunChart.h"
#include "ui/RunReadout.h"
#include "ui/RunsWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cstdio>

MainWindow::MainWindow(Engine &engine, const QString &programFolder, QWidget *parent)
    : QMainWindow(parent),
      m_engine(engine),
      m_form(new MainForm(engine, programFolder, this)),
      m_status(new RunStatus(engine.recorder(), engine.program(), this))
{
    m_status->setLoadAddress([&engine] { return engine.loadLink().address(); });
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(m_form->windowTitle());
    setWindowIcon(m_form->windowIcon());
    // The size the form was drawn for, before the scroll area takes it.
    const QSize formSize = m_form->size();
    // The form keeps the size its parts need and scrolls on a screen too small for it: on a
    // 1366×768 laptop the result log must not end up behind the run panel.
    auto *formArea = new QScrollArea(this);
    formArea->setObjectName(QStringLiteral("FormArea"));
    formArea->setFrameShape(QFrame::NoFrame);
    formArea->setWidgetResizable(true);
    formArea->setWidget(m_form);
    // The red bar of a load that may still be on sits above everything the operator reads.
    auto *central = new QWidget(this);
    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);
    m_loadOffBar = new LoadOffBar(engine.recorder(), engine.run().offKeeper(), central);
    centralLayout->addWidget(m_loadOffBar);
    centralLayout->addWidget(formArea, 1);
    setCentralWidget(central);
    m_closeQuestion = [this](const QString &text) {
        return QMessageBox::warning(
                   this, windowTitle(), text, QMessageBox::Close | QMessageBox::Cancel, QMessageBox::Cancel)
            == QMessageBox::Close;
    };
    // Handles that can be seen, between the form and the panels and inside the run panel.
    setStyleSheet(QStringLiteral("QMainWindow::separator { background: palette(mid); width: 5px; height: 5px; }"
                                 "QSplitter::handle { background: palette(mid); }"));
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);

    auto *runDock = new QDockWidget(QStringLiteral("Run"), this);
    runDock->setObjectName(QStringLiteral("RunDock"));
    runDock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    runDock->setWidget(buildRunPanel(engine));
    addDockWidget(Qt::BottomDockWidgetArea, runDock);

    m_traceDock = new QDockWidget(QStringLiteral("Instrument traffic"), this);
    m_traceDock->setObjectName(QStringLiteral("TraceDock"));
    QListView *trace = m_form->takeTraceList();
    m_traceDock->setWidget(trace);
    trace->show();
    addDockWidget(Qt::RightDockWidgetArea, m_traceDock);
    m_traceDock->hide();
    connect(m_form, &MainForm::traceRequested, m_traceDock, &QDockWidget::setVisible);
    connect(m_traceDock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!m_traceDock->isVisible() || visible)
            m_form->setTraceVisible(m_traceDock->isVisible());
    });

    m_bar = new QLabel(this);
    m_bar->setObjectName(QStringLiteral("MessageBar"));
    m_bar->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(m_bar, 1);

    const auto linkTrouble = [this](const QString &text) {
        showInBar(QStringLiteral("%1  (load at %2)").arg(text, m_engine.loadLink().address()), true);
    };
    m_form->setLinkMessageFunction(linkTrouble);
    m_form->setRunMessageFunction([this](const QString &text) {
        if (m_status->phase() == RunStatus::Phase::Lost)
            showInBar(QStringLiteral("Lost Connect!  %1  (load at %2)").arg(text, m_engine.loadLink().address()), true);
        else
            showInBar(text, true);
    });
    connect(&engine.identification(), &Identification::identifying, this,
        [this] { showInBar(QStringLiteral("Connecting to %1 …").arg(m_engine.loadLink().address()), false); });
    offerConnectSetup();
    connect(&engine.identification(), &Identification::identified, this, &MainWindow::showIdentification);
    connect(&engine.recorder(), &RunRecorder::runStarted, this, [this] {
        showInBar(QString(), false);
        m_testRestarted.clear();
        // The last run's summary and report would read as this run's.
        m_summary->clear();
        m_report->setEnabled(false);
        shareRunPanel(0.25);
    });
    connect(&engine.run().events(), &RunEvents::loadSilent, this, [this](int step) {
        showInBar(QStringLiteral("Step %1: no reply from the load at %2; its link is being made again (the load is "
                                 "lost after 10 s)…")
                      .arg(step)
                      .arg(m_engine.loadLink().address()),
            true);
    });
    connect(&engine.run().events(), &RunEvents::replyGap, this, [this](int step, double from, double to) {
        const QString gap = QStringLiteral("Step %1: no reply from the load at %2 for %3 s; it answers again.")
                                .arg(step)
                                .arg(m_engine.loadLink().address())
                                .arg(to - from, 0, 'f', 1);
        showInBar(m_testRestarted.isEmpty() ? gap : gap + u' ' + std::exchange(m_testRestarted, {}), true);
    });
    connect(&engine.recorder(), &RunRecorder::loadOffChanged, this, [this](const RunRecord &record) {
        const LoadOff &off = record.loadOff;
        if (off.confirmedLate())
            showInBar(QStringLiteral("The load at %1 is confirmed off (%2 A), %3 s after the run's end.")
                          .arg(off.address, QString::number(off.amps.value_or(0), 'f', 3))
                          .arg(off.since.msecsTo(off.confirmedAt) / 1000.0, 0, 'f', 1),
                false);
    });
    connect(&engine.run().events(), &RunEvents::loadTestRestarted, this,
        [this](int step, const QString &function, double atSeconds) {
            m_testRestarted = QStringLiteral("Step %1: the load's %2 test was started again at %3 s of the run, over a "
                                             "reopened link: the first start may not have reached it.")
                                  .arg(QString::number(step), function, QString::number(atSeconds, 'f', 1));
            showInBar(m_testRestarted, true);
        });
    connect(&engine.runSummary(), &RunSummary::finished, this, &MainWindow::showSummary);
    // Queued: a problem said as a run starts would otherwise be cleared by the bar's reset above.
    connect(
        &engine.runStore(), &RunStore::problem, this, [this](const QString &text) { showInBar(text, true); },
        Qt::QueuedConnection);
    connect(&engine.runStore(), &RunStore::notice, this, [this](const QString &text) { showInBar(text, false); });
    if (RunForwarder *forwarder = engine.forwarder())
        connect(forwarder, &RunForwarder::problem, this, [this](const QString &text) { showInBar(text, true); });

    auto *runs = new QAction(QStringLiteral("&Runs…"), this);
    runs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    runs->setStatusTip(QStringLiteral("The runs kept on this bench and on the lab's server"));
    QMenu *view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(runs);
    menuBar()->addMenu(new HelpMenu(engine, this));
    connect(runs, &QAction::triggered, this, &MainWindow::showRuns);
    auto *lab = new QAction(QStringLiteral("La&b…"), this);
    lab->setObjectName(QStringLiteral("LabAction"));
    lab->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    lab->setStatusTip(QStringLiteral("Every station of the lab as its server last heard of it"));
    view->addAction(lab);
    connect(lab, &QAction::triggered, this, &MainWindow::showLab);
    auto *large = new QAction(QStringLiteral("&Large Readout"), this);
    large->setObjectName(QStringLiteral("LargeReadoutAction"));
    large->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    large->setStatusTip(
        QStringLiteral("The run in large digits, for a second screen or a glance from across the bench"));
    view->addAction(large);
    connect(large, &QAction::triggered, this, &MainWindow::showLargeReadout);
    connect(&engine.runStore(), &RunStore::runEndKept, this, [this] {
        if (m_runs && m_runs->isVisible())
            m_runs->refresh();
    });

    // Esc stops a running test wherever the focus is in this window (its floating panels
    // included), and only there: Esc typed in the Runs window, a window of its own, must not end a
    // run the operator is not looking at.
    m_popupEscape = new PopupEscapeWatch(this);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        // Esc that closes a drop-down (the Function list, say) or a menu is theirs: a habit must
        // never end a ten-hour run.
        if (m_popupEscape->popupTookIt())
            return;
        if (m_engine.run().isRunning())
            m_form->stopRun();
    });

    // The screen's room (a panel's height left free), or the form's own size and a run panel
    // below it where no screen is known; the run panel takes two fifths of the height, where the
    // chart can be read.
    QSize size(formSize.width(), formSize.height() + menuBar()->sizeHint().height() + 330);
    if (const QScreen *screen = this->screen())
        size = screen->availableGeometry().size() - QSize(0, 40);
    resize(size);
    resizeDocks({runDock}, {std::max(240, size.height() * 2 / 5)}, Qt::Vertical);
}

MainWindow::~MainWindow() = default;

QWidget *MainWindow::buildRunPanel(Engine &engine)
{
    auto *splitter = new QSplitter(Qt::Horizontal);
    m_runPanel = splitter;
    splitter->setObjectName(QStringLiteral("RunPanel"));
    m_readout = new RunReadout(*m_status, splitter);
    splitter->addWidget(m_readout);

    auto *chartColumn = new QWidget(splitter);
    auto *chartLayout = new QVBoxLayout(chartColumn);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    auto *tools = new QHBoxLayout;
    m_follow = new QPushButton(QStringLiteral("Follow"), chartColumn);
    m_follow->setToolTip(QStringLiteral("Show the whole run as it grows (drag a span or use the wheel to zoom, "
                                        "right-drag to pan, double-click to follow again)"));
    auto *fit = new QPushButton(QStringLiteral("Fit Axes"), chartColumn);
    fit->setObjectName(QStringLiteral("FitAxes"));
    fit->setToolTip(QStringLiteral("Fit one axis or all of them to every reading in view, an OCP peak too (right-click "
                                   "the chart for the same)"));
    auto *save = new QPushButton(QStringLiteral("Save Chart…"), chartColumn);
    m_report = new QPushButton(QStringLiteral("Report…"), chartColumn);
    m_report->setObjectName(QStringLiteral("RunReport"));
    m_report->setToolTip(QStringLiteral("The last run's report as PDF: its steps, verdicts, chart and settings"));
    m_report->setEnabled(false);
    tools->addWidget(m_follow);
    tools->addWidget(fit);
    tools->addWidget(save);
    tools->addWidget(m_report);
    tools->addStretch();
    chartLayout->addLayout(tools);
    m_chart = new RunChart(chartColumn);
    m_chart->listenTo(engine.recorder());
    // Room for the axes' labels whole, however much the summary takes.
    m_chart->setMinimumWidth(380);
    chartLayout->addWidget(m_chart, 1);
    fit->setMenu(m_chart->makeFitMenu(fit));
    m_follow->setEnabled(false);
    connect(m_follow, &QPushButton::clicked, m_chart, &RunChart::follow);
    connect(
        m_chart, &RunChart::followingChanged, m_follow, [this](bool following) { m_follow->setEnabled(!following); });
    connect(save, &QPushButton::clicked, this, &MainWindow::saveChart);
    connect(m_report, &QPushButton::clicked, this, &MainWindow::reportLastRun);
    connect(&m_reportJob, &ReportJob::finished, this, [this](const QString &path, const QString &error) {
        m_report->setEnabled(true);
        showInBar(error.isEmpty() ? QStringLiteral("Report written to %1").arg(path) : error, !error.isEmpty());
    });
    splitter->addWidget(chartColumn);

    m_summary = new QPlainTextEdit(splitter);
    m_summary->setObjectName(QStringLiteral("RunSummary"));
    m_summary->setReadOnly(true);
    // The steps' table is given the width it needs; a long message below it wraps.
    m_summary->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A little smaller than the window's text: the steps' table is wide.
    QFont fixed(QStringLiteral("Monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPointSizeF(font().pointSizeF() * 0.9);
    m_summary->setFont(fixed);
    m_summary->setPlaceholderText(QStringLiteral("The run's summary appears here when it ends."));
    splitter->addWidget(m_summary);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 3);
    splitter->setStretchFactor(2, 2);
    splitter->setSizes({260, 900, 300});
    return splitter;
}

QString MainWindow::barText() const { return m_bar->text(); }

void MainWindow::offerConnectSetup()
{
    m_connectSetup = new QPushButton(QStringLiteral("Connect Setup…"), this);
    m_connectSetup->setObjectName(QStringLiteral("BarConnectSetup"));
    m_connectSetup->setToolTip(QStringLiteral("Choose how the load is reached: RS-232/USB, GPIB or LAN"));
    m_connectSetup->hide();
    statusBar()->addPermanentWidget(m_connectSetup);
    connect(m_connectSetup, &QPushButton::clicked, m_form, &MainForm::setUpConnection);
}

void MainWindow::showIdentification()
{
    // On a first start the defaults point at a serial port where nothing may answer: the bar
    // says where the load was asked for and offers the setup until one answers.
    const bool answered = m_engine.identification().loadAnswered();
    m_connectSetup->setVisible(!answered);
    if (m_bar->property("trouble").toBool())
        return;
    showInBar(answered ? QString()
                       : QStringLiteral("No load answered \"name?\" at %1. Check the cable and the load's "
                                        "interface, or choose another link in Connect Setup.")
                             .arg(m_engine.loadLink().address()),
        !answered);
}

void MainWindow::showInBar(const QString &text, bool trouble)
{
    m_bar->setText(text);
    m_bar->setProperty("trouble", trouble && !text.isEmpty());
    m_bar->setStyleSheet(trouble && !text.isEmpty()
            ? QStringLiteral("QLabel { background: #fdecea; color: #8a1c1c; padding: 2px 6px; }")
            : QString());
}

void MainWindow::showRuns()
{
    if (m_runs)
        m_runs->refresh();
    else
        m_runs = new RunsWindow(m_engine.iniPath(), this);
    m_runs->show();
    m_runs->raise();
    m_runs->activateWindow();
}

void MainWindow::showLab()
{
    if (!m_lab)
        m_lab = new LabWindow(m_engine.iniPath(), this);
    m_lab->show();
    m_lab->raise();
    m_lab->activateWindow();
}

void MainWindow::showLargeReadout()
{
    if (!m_large)
        m_large = new LargeReadout(*m_status, this);
    m_large->show();
    m_large->raise();
    m_large->activateWindow();
}

void MainWindow::showSummary()
{
    m_summary->setPlainText(m_engine.runSummary().toText());
    // As wide as its widest line, so that no column needs scrolling to; the chart keeps the rest
    // unless that would leave it too narrow to read.
    const QFontMetrics metrics(m_summary->font());
    int widest = 0;
    for (const QString &line : m_summary->toPlainText().split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    widest += 2 * m_summary->frameWidth() + int(m_summary->document()->documentMargin() * 2)
        + m_summary->verticalScrollBar()->sizeHint().width() + 4;
    const QList<int> sizes = m_runPanel->sizes();
    const int shared = sizes.at(1) + sizes.at(2);
    const int chartLeast = m_chart->minimumWidth();
    shareRunPanel(shared > chartLeast ? std::min(double(shared - chartLeast), double(widest)) / shared : 0.5);
    m_report->setEnabled(m_engine.runStore().isWritable() && !m_engine.runStore().runUuid().isEmpty());
}

void MainWindow::shareRunPanel(double summaryShare)
{
    QList<int> sizes = m_runPanel->sizes();
    const int shared = sizes.at(1) + sizes.at(2);
    sizes[2] = int(shared * summaryShare);
    sizes[1] = shared - sizes[2];
    m_runPanel->setSizes(sizes);
}

void MainWindow::saveChart()
{
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Chart"), QStringLiteral("chart.png"), QStringLiteral("PNG image (*.png)"));
    if (path.isEmpty())
        return;
    const QString error = m_chart->saveImage(path);
    showInBar(error.isEmpty() ? QStringLiteral("Chart saved to %1").arg(path) : error, !error.isEmpty());
}

void MainWindow::reportLastRun()
{
    const QFileInfo program(m_engine.runSummary().program());
    const QString proposed
        = QStringLiteral("%1-%2.pdf")
              .arg(program.completeBaseName().isEmpty() ? QStringLiteral("run") : program.completeBaseName(),
                  m_engine.runSummary().started().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Run Report"),
        QFileInfo(m_engine.iniPath()).dir().filePath(proposed), QStringLiteral("PDF document (*.pdf)"));
    if (path.isEmpty())
        return;
    m_report->setEnabled(false);
    showInBar(QStringLiteral("Writing the report…"), false);
    m_reportJob.start(m_engine.runStore().path(), m_engine.runStore().runUuid(), path);
}

void MainWindow::endBySignal(int signal)
{
    // A second signal while the off lines go out changes nothing.
    if (std::exchange(m_ending, true))
        return;
    m_form->setMessageFunction(
        [](const QString &text) { std::fprintf(stderr, "vornic-dcload: %s\n", qPrintable(text)); });
    m_engine.run().abort(RunResult::Stopped,
        QStringLiteral("The run was stopped: the program was told to end (%1).")
            .arg(InterruptWatcher::signalName(signal)));
    // A close already under way (the operator's, waiting for the run's end) ends the program
    // when it is done; this one then returns at once.
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Closing ends the tries to switch off a load that may still be on: the operator decides,
    // unless the program was told to end, which still makes its last try. A run still going ends
    // first: its own end may leave the load unconfirmed.
    m_form->endRun();
    const OffKeeper &keeper = m_engine.run().offKeeper();
    if (keeper.isTrying() && !m_ending
        && !m_closeQuestion(
            QStringLiteral("The load at %1 may still be on: it could not be told to switch off, and the window "
                           "keeps trying. Close it anyway, and switch the load off by hand?")
                .arg(keeper.loadOff().address))) {
        event->ignore();
        return;
    }
    m_form->shutDown();
    event->accept();
    // Told to end: whatever else is open (the Runs window, a box) goes too, but only now that the
    // run is over: the wait for its end must not be cut short.
    if (m_ending)
        QApplication::exit(0);
}
