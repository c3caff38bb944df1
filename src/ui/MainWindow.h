#pragma once

#include "ui/ReportJob.h"

#include <QMainWindow>
#include <functional>

class Clock;
class Engine;
class LargeReadout;
class LoadOffBar;
class MainForm;
class QDockWidget;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class RunChart;
class RunReadout;
class LabWindow;
class PopupEscapeWatch;
class RunsWindow;
class RunStatus;

// The program's window: the main form in the middle; below it the run as it goes (the state and
// readings in large type, the chart, and the summary once a run has ended); the instrument
// traffic in a panel of its own; link trouble in a bar that does not stop the operator.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(Engine &engine, const QString &programFolder, QWidget *parent = nullptr);
    ~MainWindow() override;

    MainForm *form() const { return m_form; }
    RunChart *chart() const { return m_chart; }
    RunReadout *readout() const { return m_readout; }
    // The large-readout window, once it has been opened.
    LargeReadout *largeReadout() const { return m_large; }
    RunStatus *status() const { return m_status; }
    QPlainTextEdit *summaryView() const { return m_summary; }
    QDockWidget *traceDock() const { return m_traceDock; }
    // The Runs window, once it has been opened.
    RunsWindow *runsWindow() const { return m_runs; }
    LabWindow *labWindow() const { return m_lab; }
    // The bar's text; "" when there is nothing to say.
    QString barText() const;
    // The red bar shown while the last run's load may still be on.
    LoadOffBar *loadOffBar() const { return m_loadOffBar; }
    // Asked before the window closes while the load may still be on: true closes it.
    void setCloseQuestion(std::function<bool(const QString &)> ask) { m_closeQuestion = std::move(ask); }
    // The bar's Connect Setup button, shown while no load answers.
    QPushButton *barConnectSetup() const { return m_connectSetup; }

    // Link trouble or a run's end message, with what the link reaches; replaces what the bar said.
    void showInBar(const QString &text, bool trouble);
    // The runs stored beside the settings file in use (and on the lab's server), in a window of
    // their own.
    void showRuns();
    void showLab();
    // The run in large digits, in a window of its own (View menu, Ctrl+L).
    void showLargeReadout();
    // The program was told to end (a logout, a shutdown, kill, Ctrl+C in its terminal): as a
    // close, a run going is stopped with its off lines out and kept in the store, then the
    // program ends. Its messages go to stderr: nobody is left to answer a box.
    void endBySignal(int signal);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildRunPanel(Engine &engine);
    // A Connect Setup button beside the bar, shown while no load answers.
    void offerConnectSetup();
    void showIdentification();
    void saveChart();
    void reportLastRun();
    void showSummary();
    // The chart and the summary share the run panel: the chart has the room while a run goes on,
    // the summary once it has ended.
    void shareRunPanel(double summaryShare);

    Engine &m_engine;
    MainForm *m_form;
    RunStatus *m_status;
    RunReadout *m_readout = nullptr;
    RunChart *m_chart = nullptr;
    QPushButton *m_follow = nullptr;
    QPlainTextEdit *m_summary = nullptr;
    QSplitter *m_runPanel = nullptr;
    QDockWidget *m_traceDock = nullptr;
    QLabel *m_bar = nullptr;
    LoadOffBar *m_loadOffBar = nullptr;
    std::function<bool(const QString &)> m_closeQuestion;
    // That the load's own test was started again, said once more when the load answers again.
    QString m_testRestarted;
    QPushButton *m_connectSetup = nullptr;
    RunsWindow *m_runs = nullptr;
    LabWindow *m_lab = nullptr;
    PopupEscapeWatch *m_popupEscape = nullptr;
    QPushButton *m_report = nullptr;
    LargeReadout *m_large = nullptr;
    ReportJob m_reportJob;
    bool m_ending = false;
};
