#pragma once

#include "link/TraceFields.h"
#include "results/RunLogFile.h"
#include "run/ErrorTrail.h"
#include "run/LogRowGate.h"
#include "run/RunEvents.h"
#include "run/RunOptions.h"
#include "run/RunState.h"

#include <QObject>
#include <functional>

class Clock;
class Identification;
class InstrumentLink;
class MeasureOptions;
class ResultLog;
class Sequencer;
class TestProgram;
class TraceList;

// Run and Stop. Each Run makes a sequencer of its own, and a new run starts only once the last one
// has ended. The run's events come through events(); the result log, the log file, the step
// table's highlight and the count of failed verdicts are its first listeners. Messages for the
// operator are signals, never dialogs.
class RunController : public QObject
{
    Q_OBJECT

public:
    struct Wiring
    {
        TestProgram &program;
        InstrumentLink &load;
        InstrumentLink *generator;
        Clock &clock;
        TraceList &trace;
        ResultLog &results;
        Identification &identification;
        MeasureOptions &measureOptions;
    };

    explicit RunController(const Wiring &wiring, QObject *parent = nullptr);
    ~RunController() override;

    void setLogFilePath(const QString &path) { m_logPath = path; }
    // From the next run on, each row of the log waits until the samples made before it are kept
    // (samplesKept), and at the run's end `keepAll` is asked to keep the rest before the last rows
    // are written. Unset, each row is written as it is made.
    void holdRowsUntilKept(std::function<void()> keepAll) { m_keepAll = std::move(keepAll); }
    void samplesKept(qint64 count);
    QString logFilePath() const { return m_logPath; }

    // Run: starts a run with the options in force now. False while a run is on, and, with a
    // message, when no step names a known function or the log file cannot be made; nothing has
    // started then.
    bool RunCommand_Click(const RunOptions &options);
    // Stop: the run ends at once, its off lines go out, and runEnded follows.
    void StopCommand_Click();
    // Ends the run for another reason (the window closing, a signal, a listener that failed).
    void abort(RunEvents::Result result, const QString &message);

    // The interval before a run's first pass, as the sampling box sets it when the operator
    // leaves it (and as the last pass of the previous run left it).
    void setTimer1Interval(int ms);
    int timer1Interval() const { return m_timer1Interval; }

    bool isRunning() const { return m_sequencer != nullptr; }
    RunEvents &events() { return m_events; }
    const RunState &state() const { return m_state; }
    ErrorTrail &errorTrail() { return m_errorTrail; }
    int failVerdicts() const { return m_failVerdicts; }
    // The rows the last run's log file holds.
    int rowsLogged() const { return m_logFile.rows(); }
    // What a line sent now carries in its trace line.
    TraceFields traceFields() const;

Q_SIGNALS:
    // "Test Finished".
    void testFinished();
    // A message for the operator (the window shows it in a box).
    void message(const QString &text);

private:
    void writeRow(const QStringList &cells);
    void writeRows(const QList<QStringList> &rows);
    void highlightStep(int step);
    void onRunEnded(RunEvents::Result result, const QString &message);

    Wiring m_wiring;
    RunEvents m_events;
    RunState m_state;
    ErrorTrail m_errorTrail;
    RunLogFile m_logFile;
    QString m_logPath;
    LogRowGate m_rowGate;
    std::function<void()> m_keepAll;
    Sequencer *m_sequencer = nullptr;
    int m_timer1Interval = 1000;
    int m_failVerdicts = 0;
};
