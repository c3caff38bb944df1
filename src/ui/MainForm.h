#pragma once

#include "ui/ResizeRules.h"
#include "ui/StepGridView.h"

#include <QAbstractItemView>
#include <QWidget>
#include <functional>

class Engine;
class MeasureFrame;
class MeasureOptions;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QTableView;
class QToolButton;
class ResultLog;
class RunController;
struct RunEndNote;
class StepButtonColumn;
class StepEditor;
class TestProgram;
class TraceList;
struct Settings;

// The program's main window: the step editor, the step table, the result log with its measure
// settings, the run and connect buttons and the identification labels.
class MainForm : public QWidget
{
    Q_OBJECT

public:
    static constexpr auto Caption = "Vornic DC Load Test Program R1.2s";

    using MessageFunction = std::function<void(const QString &text)>;
    // A file name chosen by the operator, or "" when cancelled. The filter is in "name|patterns" pairs.
    using FileChooser = std::function<QString(bool save, const QString &filter, const QString &proposed)>;

    // The window over the engine; `programFolder` holds "TestLog" and the proposed log copies.
    MainForm(Engine &engine, const QString &programFolder, QWidget *parent = nullptr);
    ~MainForm() override;

    // Start-up: result columns, empty step table, the engine's settings file, the current test step
    // file, the Discharge editor, the trace list hidden, identification 100 ms later.
    void loadSettingsAndProgram();

    // Where every message goes, the end of a finished run's included.
    void setMessageFunction(MessageFunction message);
    // Where the end of a finished run goes, with its icon (by default a box showing both).
    void setRunEndMessageFunction(std::function<void(const RunEndNote &note)> message)
    {
        m_runEndMessage = std::move(message);
    }
    // Where link trouble goes (by default the message box of setMessageFunction).
    void setLinkMessageFunction(MessageFunction message) { m_linkMessage = std::move(message); }
    // Where a run's own messages go (why it could not start or why it ended early).
    void setRunMessageFunction(MessageFunction message) { m_runMessage = std::move(message); }
    // Hands the trace list to a panel of its own: the form no longer places it over the result
    // log, and the double-click on the measure items asks for the panel with traceRequested().
    QListView *takeTraceList();
    // A run still going is stopped, and waited for until its off lines are out.
    void endRun();
    // The window goes: a run still going is stopped and waited for, a load that may still be on
    // gets its last try, the program and the settings are saved (the program not over a file that
    // the start-up load refused).
    void shutDown();
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    // Shows the connection setup dialog modally (by default "Connect Setup" itself).
    void setConnectionDialog(std::function<void()> dialog) { m_connectionDialog = std::move(dialog); }

    StepEditor *stepEditor() const { return m_editor; }
    RunController *runController() const { return m_controller; }
    StepGridView *stepGrid() const { return m_stepGrid; }
    QTableView *listView() const { return m_listView; }
    QListView *traceListView() const { return m_list1; }
    MeasureFrame *measureFrame() const { return m_measureFrame; }
    QLabel *nameLabel() const { return m_nameLabel; }
    QLabel *aMaxLabel() const { return m_aMaxLabel; }
    bool isAMaxLabelGreyed() const { return m_aMaxGreyed; }
    bool traceVisible() const { return m_traceVisible != 0; }
    const MainGeometry &layoutTwips() const { return m_geometry; }

Q_SIGNALS:
    void traceRequested(bool visible);

public Q_SLOTS:
    // The trace panel was shown or hidden from outside the form.
    void setTraceVisible(bool visible);
    // A message for the operator with an OK button only.
    void showMessage(const QString &text);
    void startRun();
    void stopRun();
    void setUpConnection();
    void saveLogCopy();
    void openProgram();
    void saveProgram();
    void toggleTrace();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int widthOfText(const QString &text) const;
    // A link's message, once until the links connect again: a link that stays lost repeats it at
    // every line sent.
    void showLinkMessage(const QString &text);
    void showRunning(bool running);
    // What the operator is told of a program just loaded whose values the step judge refuses;
    // empty when it refuses none.
    QString refusedValuesNote() const;
    void buildTopBand();
    // A short caption in the band's top margin over a read-only box, saying what it counts.
    // A small caption for a box, placed above it by placeResizable().
    QLabel *captionFor(QLineEdit *box, const QString &caption);
    void buildViews();
    void place(QWidget *widget, int left, int top, int width, int height);
    void placeResizable();
    void applyMeasTime();
    void writeIniKey(const QString &section, const QString &key, const QString &value);
    QString iniPath() const;

    Engine &m_engine;
    Settings &m_settings;
    MeasureOptions &m_options;
    TestProgram &m_program;
    TraceList &m_trace;
    ResultLog &m_results;
    QString m_programFolder;
    RunController *m_controller;

    StepEditor *m_editor = nullptr;
    StepButtonColumn *m_buttons = nullptr;
    StepGridView *m_stepGrid = nullptr;
    QAbstractItemView::EditTriggers m_stepGridEditTriggers;
    QToolButton *m_runCommand = nullptr;
    QToolButton *m_stopCommand = nullptr;
    QToolButton *m_connectCommand = nullptr;
    QTableView *m_listView = nullptr;
    QListView *m_list1 = nullptr;
    MeasureFrame *m_measureFrame = nullptr;
    QLabel *m_nameLabel = nullptr;
    QLabel *m_aMaxLabel = nullptr;
    QLabel *m_label5 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QLabel *m_stepTimeCaption = nullptr;
    QLabel *m_stepCountCaption = nullptr;
    QLineEdit *m_measTimeText = nullptr;

    MainGeometry m_geometry;
    qint16 m_traceVisible = 0;
    QString m_lastLinkMessage;
    // The current test step file when the start-up load refused it, until Open or Save choose
    // another: the window never saves over it.
    QString m_refusedFile;
    bool m_aMaxGreyed = false;
    MessageFunction m_message;
    MessageFunction m_linkMessage;
    MessageFunction m_runMessage;
    std::function<void(const RunEndNote &note)> m_runEndMessage;
    bool m_traceTaken = false;
    FileChooser m_chooseFile;
    std::function<void()> m_connectionDialog;
};
