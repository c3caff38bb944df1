#include "run/StepStarter.h"

#include "commands/GeneratorCommands.h"
#include "commands/LoadCommands.h"
#include "model/NumberText.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"
#include "run/RunState.h"

namespace StepStarter {

namespace {

using namespace StepColumns;
using F = FunctionCatalog::Index;

// Reads the running step's cells as numbers; the first cell that cannot be read is kept as the
// reason the step cannot start.
class CellReader
{
public:
    CellReader(const RunState &state, bool lenient) : m_state(state), m_lenient(lenient) { }

    double real(int column)
    {
        const QString text = m_state.cell(column);
        if (m_lenient)
            return NumberText::lenient(text);
        const auto value = NumberText::strict(text);
        if (!value)
            fail(column, QStringLiteral("is not a number"));
        return value.value_or(0);
    }
    Fixed4 fixed(int column)
    {
        const auto value = Fixed4::fromDouble(real(column));
        if (!value)
            fail(column, QStringLiteral("is out of range"));
        return value.value_or(Fixed4());
    }
    qint32 count32(int column)
    {
        const auto value = NumberText::toInt32(real(column));
        if (!value)
            fail(column, QStringLiteral("is not a count"));
        return value.value_or(0);
    }
    qint16 count16(int column)
    {
        const auto value = NumberText::toInt16(real(column));
        if (!value)
            fail(column, QStringLiteral("is not a count up to 32767"));
        return value.value_or(0);
    }
    // The five stop cells: voltage, current, time, stable time, capacity.
    void stopCells(RunState &state)
    {
        state.VStop = real(VStop);
        state.IStop = real(IStop);
        state.TStop = fixed(TStop);
        state.StableTime = real(StableTime);
        state.AhStop = real(AhStop);
    }

    const QString &error() const { return m_error; }

private:
    void fail(int column, const QString &problem)
    {
        if (!m_error.isEmpty())
            return;
        m_error = QStringLiteral("Step %1, column %2 \"%3\": \"%4\" %5")
                      .arg(m_state.StepPointer)
                      .arg(column)
                      .arg(StepColumns::headers().at(column), m_state.cell(column), problem);
    }

    const RunState &m_state;
    bool m_lenient;
    QString m_error;
};

bool guardHolds(const FunctionCatalog::Descriptor &function, const Guards &guards)
{
    switch (function.guard) {
    case FunctionCatalog::Guard::BatteryModel:
        return guards.capabilities.batteryTests();
    case FunctionCatalog::Guard::Generator:
        return guards.afgEnabled;
    case FunctionCatalog::Guard::None:
        break;
    }
    return true;
}

// Reads the cells of the running step that the start of its function needs.
void readCells(RunState &state, int function, CellReader &cells)
{
    switch (function) {
    case F::Rest:
        state.TStop = cells.fixed(TStop);
        state.VStop = state.IStop = state.AhStop = 0;
        state.StableTime = 0;
        break;
    case F::Ocp:
    case F::Opp:
        state.StableTime = 0;
        break;
    case F::Short:
        cells.fixed(SinkValue);
        state.TStop = cells.fixed(TStop);
        state.StableTime = cells.real(StableTime);
        // A voltage stop left by an earlier step would end the short at once, before its verdict.
        state.VStop = state.IStop = state.AhStop = 0;
        break;
    case F::DynamicOff:
        state.TStop = Fixed4();
        break;
    case F::BatteryRamp:
    case F::BatteryCycleLife:
        if (function == F::BatteryRamp)
            cells.count16(TotalStep);
        cells.count16(Times);
        state.StableTime = 0;
        // The load ends these tests itself; they do not run under a step time.
        state.TStop = Fixed4();
        break;
    case F::SequenceLoad:
        cells.count16(TotalStep);
        cells.stopCells(state);
        cells.count32(Times);
        break;
    default:
        cells.stopCells(state);
        break;
    }
}

Start startLoop(RunState &state, const TestProgram &program, int function)
{
    Start start;
    start.kind = Start::Kind::Jump;
    state.StableTime = 0;
    if (function == F::For) {
        state.step = {state.StepPointer, program.rowCells(state.StepPointer)};
        CellReader cells(state, false);
        const qint32 count = cells.count32(Times);
        if (!cells.error().isEmpty()) {
            start.kind = Start::Kind::Failed;
            start.error = cells.error();
            return start;
        }
        state.LoopCount = count;
        state.LoopStartRow = qint16(state.StepPointer);
        state.StepPointer += 1;
    } else {
        state.LoopCount -= 1;
        start.loopedBack = state.LoopCount > 0;
        state.StepPointer = start.loopedBack ? state.LoopStartRow + 1 : state.StepPointer + 1;
    }
    state.StepPending = RunState::Pending::Next;
    return start;
}

} // namespace

Start prepare(RunState &state, const TestProgram &program, const Guards &guards, const LoadCommands &load,
    const GeneratorCommands &generator)
{
    state.StepPending = RunState::Pending::None;
    state.MeasuredVoltage = state.MeasuredCurrent = 0;
    state.VoltageText = state.CurrentText = QStringLiteral("0");
    state.AhTotal = 0;
    state.WhTotal = 0;
    state.CurrentFunction = program.cell(state.StepPointer, Function);

    const FunctionCatalog::Descriptor *function = FunctionCatalog::find(state.CurrentFunction);
    if (function && (function->index == F::For || function->index == F::Loop))
        return startLoop(state, program, function->index);
    Start start;
    if (!function || !guardHolds(*function, guards))
        return start;

    const RunState before = state;
    state.step = {state.StepPointer, program.rowCells(state.StepPointer)};
    CellReader cells(state, function->lenientCells);
    readCells(state, function->index, cells);
    QString problem = cells.error();
    for (FunctionCatalog::LoadCommand command : function->loadCommands)
        start.load.push_back(load.make(command));
    if (function->generatorCommand == FunctionCatalog::GeneratorCommand::Sine)
        start.generator.emplace(generator.GenCmdSine());
    else if (function->generatorCommand == FunctionCatalog::GeneratorCommand::Pulse)
        start.generator.emplace(generator.GenCmdPulse());
    for (const CommandPlan &plan : start.load)
        if (problem.isEmpty() && plan.error())
            problem = plan.error()->text();
    if (problem.isEmpty() && start.generator && start.generator->error())
        problem = start.generator->error()->text();
    if (!problem.isEmpty()) {
        state = before;
        start.kind = Start::Kind::Failed;
        start.error = problem;
        start.load.clear();
        start.generator.reset();
    }
    return start;
}

void afterCommands(RunState &state, const FunctionCatalog::Descriptor &function)
{
    // The host's own count of the step time gets a second more than the load was given.
    if (function.graceSecond)
        state.TStop = state.TStop + Fixed4::fromCount(10000);
    if (function.index == F::Ocp || function.index == F::Opp) {
        state.VStop = state.IStop = state.AhStop = 0;
        state.TStop = Fixed4();
    }
}

} // namespace StepStarter
