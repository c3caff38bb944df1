#pragma once

#include "run/RunOptions.h"

#include <QString>
#include <functional>

class Clock;
class ErrorTrail;
class GeneratorCommands;
class InstrumentLink;
class LoadCommands;
class ResultLog;
class RunLogFile;
class TestProgram;
class TraceList;
struct RunState;

// Everything one pass of the sequencer works with. The run controller owns it; the parts of the
// pass (step start, sample, load-run supervision, result rows) share it.
struct RunContext
{
    TestProgram &program;
    RunState &state;
    InstrumentLink &load;
    InstrumentLink *generator;
    Clock &clock;
    TraceList &trace;
    ResultLog &results;
    RunLogFile &logFile;
    ErrorTrail &errorTrail;
    LoadCommands &loadCommands;
    GeneratorCommands *generatorCommands;

    RunOptions options;
    // The window's controls, read when needed: the sampling interval text, the separator text,
    // and the model text that identification shows (the sequencer both tests and marks it).
    std::function<QString()> measTimeText;
    std::function<QString()> separatorText;
    std::function<QString()> nameLabel;
    std::function<void(const QString &)> setNameLabel;
    // False once a Stop (or the end of the run) was served during a wait.
    std::function<bool()> stillRunning;

    // Whether a step already ended in this pass: only the first end of a step counts, so a step is
    // never skipped when two of its ends meet in one pass.
    bool stepEndedThisPass = false;

    // Ends the running step (the pointer moves on, the next step is pending). False when the step
    // had already ended in this pass.
    bool endStep(qint16 pending);
};
