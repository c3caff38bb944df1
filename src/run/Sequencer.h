#pragma once

#include "commands/GeneratorCommands.h"
#include "commands/LoadCommands.h"
#include "link/CancelToken.h"
#include "link/TraceFields.h"
#include "run/LoadTestSupervisor.h"
#include "run/OffConfirmer.h"
#include "run/PassTiming.h"
#include "run/RecoveringLink.h"
#include "run/RunEvents.h"
#include "run/RunOptions.h"
#include "run/RunState.h"
#include "run/Sampler.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <functional>
#include <optional>

class Clock;
class ErrorTrail;
class Identification;
class InstrumentLink;
class MeasureOptions;
class TestProgram;
class TraceList;

// One run of the test program, made for it and gone with it. Its body reads top to bottom like
// the algorithm: identification, then pass after pass (start the pending step, sample, stops,
// step time, the load's own test, the row, the next interval), then the off lines. Every wait is
// an await on the run's cancel token, so a Stop takes effect at once and nothing of the run
// goes on behind it.
class Sequencer : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        TestProgram &program;
        InstrumentLink &load;
        InstrumentLink *generator;
        Clock &clock;
        TraceList &trace;
        ErrorTrail &errorTrail;
        Identification &identification;
        // The sampling interval box, read at every pass.
        MeasureOptions &measureOptions;
    };

    static constexpr int IdentificationDelayMs = 100;

    // The run's events go out through `events`.
    Sequencer(const Parts &parts, RunEvents &events, const RunOptions &options, int firstIntervalMs,
        QObject *parent = nullptr);

    // The run from identification to its off lines; over once runEnded has been emitted.
    QCoro::Task<> run();
    // Ends the run at once: every wait returns, the off lines go out, runEnded follows. The first
    // reason given is the one the run ends with.
    void stop(RunResult result, const QString &message = QString());

    // Asked once the run's load has answered identification, before any step: why the program
    // must not run on that load, or "". A refusal ends the run with nothing sent.
    void setLoadCheck(std::function<QString()> check) { m_loadCheck = std::move(check); }

    // The interval the last pass set for the next one.
    int lastIntervalMs() const { return m_intervalMs; }
    // What a line sent now carries in its trace line: the step, its time left and its function.
    TraceFields traceFields() const;
    // What switches the load off after the function last switched on, "LOAD OFF" last.
    QStringList offLines() const;

private:
    enum class StepStart { Started, Jumped, Ended };

    // One pass: the tick the next is due at, or none once the run ends.
    QCoro::Task<std::optional<qint64>> pass();
    QCoro::Task<StepStart> startPendingStep();
    QCoro::Task<bool> timeExpiry();
    QCoro::Task<bool> supervise(const FunctionCatalog::Descriptor &function);
    QCoro::Task<> switchOff();
    void noteLoadOff(const OffConfirmer::Outcome &outcome);
    // Sets the interval to the next pass; returns the tick it ends at. `countDown`: the pass takes
    // its interval off the step time.
    qint64 nextInterval(bool stepStartedThisPass, qint64 sampleTick, double sampleSeconds, bool countDown = true);
    // Ends the running step; only the first end in a pass counts.
    bool endStep(RunState::Pending pending, StepEnd end);
    LogRow sampleRow(const Sample &reading) const;
    // Numbers, stamps and hands out a row; false once the run is cancelled (a log that cannot be
    // written cancels it).
    bool appendRow(LogRow row);
    static QDateTime wholeSecond(const QDateTime &when);
    bool cancelled() const { return m_cancel.isCancelled(); }
    Sample sampleNow() const;
    double elapsedSeconds(qint64 tick) const;

    Parts m_parts;
    // Ahead of the command builders, which read the running step's cells from it.
    RunState m_state;
    RunEvents &m_events;
    RunOptions m_options;
    CancelToken m_cancel;
    // The load as the run's steps, samples and supervision reach it.
    RecoveringLink m_load;
    LoadCommands m_loadCommands;
    GeneratorCommands m_generatorCommands;
    Sampler m_sampler;
    LoadTestSupervisor m_supervisor;
    PassTiming m_timing;
    int m_intervalMs;
    qint64 m_startTick = 0;
    int m_failVerdicts = 0;
    // The running step's function; none for a name outside the catalogue.
    const FunctionCatalog::Descriptor *m_function = nullptr;
    // The row of the step that is running; 0 between steps.
    int m_runningStep = 0;
    bool m_stepEndedThisPass = false;
    // Identification had no answer, or the load check refused the program: the run sent nothing,
    // and sends nothing more.
    bool m_unreached = false;
    std::function<QString()> m_loadCheck;
    // What must go out before "LOAD OFF" for the function last switched on.
    QString m_offLine;
    RunResult m_result = RunResult::Pass;
    QString m_message;
};
