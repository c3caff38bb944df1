#pragma once

#include "commands/CommandPlan.h"
#include "device/ModelCapabilities.h"
#include "model/FunctionCatalog.h"

#include <QString>
#include <optional>
#include <vector>

class GeneratorCommands;
class LoadCommands;
class TestProgram;
struct RunState;

// Starting the pending step: read its cells into the run state and make the plans of its
// function's commands, all before anything is sent. FOR and LOOP are started and left at once.
namespace StepStarter {

struct Start
{
    enum class Kind {
        // The plans go out and the step runs.
        Run,
        // FOR or LOOP moved the pointer: the pass goes back to its top.
        Jump,
        // The step's data cannot make its commands, or a number cell cannot be read: nothing of
        // the step may be sent, and `error` says why.
        Failed,
    };
    Kind kind = Kind::Run;
    // A LOOP went back to the row after its FOR.
    bool loopedBack = false;
    QString error;
    std::vector<CommandPlan> load;
    std::optional<CommandPlan> generator;
};

struct Guards
{
    ModelCapabilities capabilities;
    bool afgEnabled = false;
};

// The row at StepPointer, as its function reads it. A function whose guard fails, or a name
// outside the catalogue, reads nothing and sends nothing: the step runs under what the step
// before left.
Start prepare(RunState &state, const TestProgram &program, const Guards &guards, const LoadCommands &load,
    const GeneratorCommands &generator);

// What a function's start does to the run state once its commands are out.
void afterCommands(RunState &state, const FunctionCatalog::Descriptor &function);

} // namespace StepStarter
