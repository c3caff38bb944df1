#pragma once

#include "results/RunLogFile.h"
#include "run/ErrorTrail.h"
#include "run/PassTiming.h"
#include "run/RunOptions.h"
#include "run/RunState.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class Clock;
class GeneratorCommands;
class InstrumentLink;
class LoadCommands;
class ResultLog;
class TestProgram;
class TraceList;
struct RunContext;

// Runs the test program: Run, Stop and Finish, and the sequencer whose every tick is one pass.
// The window and the headless runner drive the very same engine; messages for the operator are
// signals, never dialogs.
class RunController : public QObject
{
    Q_OBJECT

public:
    enum class RunEnd {
        Finished,
        Stopped,
        // The load stopped answering.
        LoadSilent,
        // A step's data cannot make its commands, or the log file cannot be written.
        Failed,
    };
    Q_ENUM(RunEnd)

    struct Wiring
    {
        TestProgram &program;
        InstrumentLink &load;
        InstrumentLink *generator = nullptr;
        Clock &clock;
        TraceList &trace;
        ResultLog &results;
    };

    explicit RunController(const Wiring &wiring, QObject *parent = nullptr);
    ~RunController() override;

    // Identification, run before the first pass of every run (it reconnects the links).
    void setIdentify(std::function<void()> identify) { m_identify = std::move(identify); }
    // The model text identification shows; the sequencer tests it and Sequence Load marks it.
    void setNameLabelAccess(std::function<QString()> get, std::function<void(const QString &)> set);
    void setRatedCurrent(std::function<QString()> ratedCurrent);
    // The window's sampling interval box and separator box, read live during a run.
    void setMeasTimeText(std::function<QString()> text) { m_measTimeText = std::move(text); }
    void setSeparatorText(std::function<QString()> text) { m_separatorText = std::move(text); }
    // The number of Cycle Life sub-steps in the step editor, where there is one.
    void setCycleLifeCount(std::function<int()> count);
    void setLogFilePath(const QString &path) { m_logPath = path; }
    QString logFilePath() const { return m_logPath; }

    // Run: starts a run with the options in force now. False, with a message, when the log file
    // cannot be made; nothing has started then.
    bool RunCommand_Click(const RunOptions &options);
    // Stop: the off command, and the run ends at once, also in the middle of a pass.
    void StopCommand_Click();
    // One pass of the sequencer.
    void Timer1_Timer();
    // Identification, then the first pass.
    void Timer2_Timer();
    // Tests tick the timers by hand: the timers are then only marked as enabled.
    void setManualTicks(bool manual) { m_manualTicks = manual; }
    bool timer1Enabled() const { return m_manualTicks ? m_timer1Marked : m_timer1.isActive(); }
    bool timer2Enabled() const { return m_manualTicks ? m_timer2Marked : m_timer2.isActive(); }
    // The interval of the next tick, as the sampling box sets it when the operator leaves it.
    void setTimer1Interval(int ms);
    int timer1Interval() const { return m_timer1Interval; }

    bool isRunning() const { return m_running; }
    const RunState &state() const { return m_state; }
    ErrorTrail &errorTrail() { return m_errorTrail; }
    int failVerdicts() const { return m_failVerdicts; }

Q_SIGNALS:
    // "Test Finished".
    void testFinished();
    void runEnded(RunController::RunEnd end);
    // A message for the operator (the window shows it in a box).
    void message(const QString &text);
    // The step time left, as the window shows it.
    void stepTimeLeftChanged(const QString &text);
    // The row of the step just started, for the view to scroll to.
    void stepStarted(int row);

private:
    void startTimer1(int ms);
    void stopTimers();
    void runPass(quint64 generation);
    void Finish();
    void endRun(RunEnd end, const QString &why);
    void sendOffCommand();
    bool timeExpiry();
    void scheduleNextPass(bool stepStartedThisPass, qint64 sampleTick, double sampleSeconds);
    bool stillRunning(quint64 generation) const { return m_running && m_generation == generation; }

    TestProgram &m_program;
    InstrumentLink &m_load;
    InstrumentLink *m_generator;
    Clock &m_clock;
    TraceList &m_trace;
    ResultLog &m_results;
    RunState m_state;
    ErrorTrail m_errorTrail;
    RunLogFile m_logFile;
    PassTiming m_timing;
    std::unique_ptr<LoadCommands> m_loadCommands;
    std::unique_ptr<GeneratorCommands> m_generatorCommands;
    std::unique_ptr<RunContext> m_context;

    std::function<void()> m_identify;
    std::function<QString()> m_nameLabel;
    std::function<void(const QString &)> m_setNameLabel;
    std::function<QString()> m_measTimeText;
    std::function<QString()> m_separatorText;
    QString m_logPath;

    QTimer m_timer1;
    QTimer m_timer2;
    int m_timer1Interval = 1000;
    bool m_manualTicks = false;
    bool m_timer1Marked = false;
    bool m_timer2Marked = false;
    bool m_running = false;
    bool m_passRunning = false;
    quint64 m_generation = 0;
    int m_failVerdicts = 0;
};
