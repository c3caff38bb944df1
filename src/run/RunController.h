#pragma once

#include "link/TraceFields.h"
#include "run/ErrorTrail.h"
#include "run/OffKeeper.h"
#include "run/RunEvents.h"
#include "run/RunOptions.h"

#include <QList>
#include <QObject>
#include <functional>

class Clock;
class Identification;
class InstrumentLink;
class MeasureOptions;
class Sequencer;
class TestProgram;
class TraceList;

// Start and stop. Each start makes a sequencer of its own, and a new run starts only once the last
// one has ended. The run's events come through events(); the step table's highlight is kept here.
// Messages for the operator are signals, never dialogs.
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
        Identification &identification;
        MeasureOptions &measureOptions;
    };
    // Asked before a run starts: the reason it cannot (the log file cannot be made), or "".
    using StartCheck = std::function<QString()>;

    explicit RunController(const Wiring &wiring, QObject *parent = nullptr);
    ~RunController() override;

    // Each start asks `check` first, in the order added.
    void addStartCheck(StartCheck check) { m_startChecks.append(std::move(check)); }
    // Each run asks `check` once its load has answered identification, before any step: the
    // reason the program cannot run on that load, or "". The run then ends with nothing sent.
    void setLoadCheck(StartCheck check) { m_loadCheck = std::move(check); }

    // Starts a run with the options in force now. False while a run is on, and, with a message,
    // when no step names a known function or a start check fails; nothing has started then.
    bool start(const RunOptions &options);
    // The run ends at once, its off lines go out, and runEnded follows.
    void stop();
    // Ends the run for another reason (the window closing, a signal, a listener that failed).
    void abort(RunResult result, const QString &message);

    // The interval before a run's first pass, as the sampling box sets it when the operator
    // leaves it (and as the last pass of the previous run left it).
    void setFirstIntervalMs(int ms);
    int firstIntervalMs() const { return m_firstIntervalMs; }

    bool isRunning() const { return m_sequencer != nullptr; }
    // Tries again, after a run's end, to switch off a load that may still be on; no run starts
    // while it does.
    OffKeeper &offKeeper() { return m_offKeeper; }
    RunEvents &events() { return m_events; }
    ErrorTrail &errorTrail() { return m_errorTrail; }
    // What a line sent now carries in its trace line.
    TraceFields traceFields() const;

Q_SIGNALS:
    // "Test Finished".
    void testFinished();
    // A message for the operator (the window shows it in a box).
    void message(const QString &text);

private:
    void highlightStep(int row);
    void onRunEnded(RunResult result, const QString &message);
    void onKeeperEnded();

    Wiring m_wiring;
    RunEvents m_events;
    ErrorTrail m_errorTrail;
    QList<StartCheck> m_startChecks;
    StartCheck m_loadCheck;
    Sequencer *m_sequencer = nullptr;
    OffKeeper m_offKeeper;
    // What the run's end found of its off lines.
    LoadOff m_lastOff;
    TraceFields m_lastTraceFields;
    int m_firstIntervalMs = 1000;
};
