#include "run/StepStarter.h"

#include "commands/GeneratorCommands.h"
#include "commands/LoadCommands.h"
#include "link/Clock.h"
#include "model/FunctionCatalog.h"
#include "model/NumberText.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"
#include "run/RunContext.h"
#include "run/RunState.h"
#include "run/RunText.h"

#include <optional>

namespace StepStarter {

namespace {

using namespace StepColumns;
using F = FunctionCatalog::Index;

// Reads the running step's cells as numbers; the first cell that cannot be read is kept as the
// reason the step cannot start.
class CellReader
{
public:
    CellReader(const RunContext &context, bool lenient) : m_context(context), m_lenient(lenient) { }

    double real(int column)
    {
        const QString text = m_context.state.cell(column);
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
                      .arg(m_context.state.StepPointer)
                      .arg(column)
                      .arg(StepColumns::headers().at(column), m_context.state.cell(column), problem);
    }

    const RunContext &m_context;
    bool m_lenient;
    QString m_error;
};

using LoadBuilder = LoadCommands::Builder;
using GenBuilder = GeneratorCommands::Builder;

struct Plan
{
    QList<LoadBuilder> load;
    std::optional<GenBuilder> generatorAfter;
};

// The one builder of the battery and CV-limit functions that have a single one.
LoadBuilder builderFor(int function)
{
    switch (function) {
    case F::BatteryCcCv:
        return &LoadCommands::CmdBatteryCcCv;
    case F::BatteryCpCv:
        return &LoadCommands::CmdBatteryCpCv;
    case F::BatteryDischargeCc:
        return &LoadCommands::CmdBatteryDischargeCc;
    case F::BatteryDischargeCp:
        return &LoadCommands::CmdBatteryDischargeCp;
    case F::CvCurrentLimit:
        return &LoadCommands::CmdCvCurrentLimit;
    default:
        return &LoadCommands::CmdCvPowerLimit;
    }
}

bool modelOffersBattery(const RunContext &context)
{
    const QString name = context.nameLabel();
    return name.contains(u'C') || name.contains(u'G');
}

// Reads the cells of the running step the start of its function needs and says which builders
// send its commands. Nothing for a function whose guard fails or that has no start.
std::optional<Plan> readStep(RunContext &context, int function, CellReader &cells)
{
    RunState &state = context.state;
    switch (function) {
    case F::Discharge:
        cells.stopCells(state);
        return Plan{{&LoadCommands::CmdStaticLevel, &LoadCommands::CmdLoadOn}, {}};
    case F::Rest:
        state.TStop = cells.fixed(TStop);
        state.VStop = state.IStop = state.AhStop = 0;
        state.StableTime = 0;
        return Plan{{&LoadCommands::CmdLoadOff}, {}};
    case F::Ocp:
    case F::Opp:
        state.StableTime = 0;
        return Plan{
            {function == F::Ocp ? &LoadCommands::CmdOcpTest : &LoadCommands::CmdOppTest, &LoadCommands::CmdTestStart},
            {}};
    case F::Short:
        cells.fixed(SinkValue);
        state.TStop = cells.fixed(TStop);
        state.StableTime = cells.real(StableTime);
        // A voltage stop left by an earlier step would end the short at once, before its verdict.
        state.VStop = state.IStop = state.AhStop = 0;
        return Plan{{&LoadCommands::CmdShortTest}, {}};
    case F::Dynamic:
        cells.stopCells(state);
        return Plan{{&LoadCommands::CmdDynamicLevels, &LoadCommands::CmdLoadOn, &LoadCommands::CmdDynamicOn}, {}};
    case F::DynamicOff:
        state.TStop = Fixed4();
        return Plan{{&LoadCommands::CmdDynamicOff}, {}};
    case F::Normal:
        cells.stopCells(state);
        return Plan{{&LoadCommands::CmdNormalLevels, &LoadCommands::CmdLoadOn}, {}};
    case F::BatteryRamp:
    case F::BatteryCycleLife:
        if (!modelOffersBattery(context))
            return std::nullopt;
        if (function == F::BatteryRamp)
            cells.count16(TotalStep);
        cells.count16(Times);
        state.StableTime = 0;
        // The load ends these tests itself; they do not run under a step time.
        state.TStop = Fixed4();
        if (function == F::BatteryRamp)
            return Plan{{&LoadCommands::CmdBatteryRampSetup, &LoadCommands::CmdBatteryRampOn}, {}};
        return Plan{{&LoadCommands::CmdBatteryCycleLife, &LoadCommands::CmdBatteryDynamicOn}, {}};
    case F::SequenceLoad:
        if (!modelOffersBattery(context))
            return std::nullopt;
        cells.count16(TotalStep);
        cells.stopCells(state);
        cells.count32(Times);
        return Plan{
            {&LoadCommands::CmdSequenceLoadOff, &LoadCommands::CmdSequenceLoadSetup, &LoadCommands::CmdSequenceLoadOn},
            {}};
    case F::BatteryCcCv:
    case F::BatteryCpCv:
    case F::BatteryDischargeCc:
    case F::BatteryDischargeCp:
    case F::CvCurrentLimit:
    case F::CvPowerLimit: {
        if (!modelOffersBattery(context))
            return std::nullopt;
        cells.stopCells(state);
        return Plan{{builderFor(function)}, {}};
    }
    case F::SineWaveDynamic:
    case F::CcDynamicSweep:
        if (!context.options.afgEnabled || !context.generatorCommands)
            return std::nullopt;
        cells.stopCells(state);
        return Plan{{&LoadCommands::CmdExternalInput},
            function == F::SineWaveDynamic ? &GeneratorCommands::GenCmdSine : &GeneratorCommands::GenCmdPulse};
    default:
        return std::nullopt;
    }
}

// The host's own count of the step time gets a second more than the load was given.
void addGraceSecond(RunState &state, int function)
{
    if (function == F::SequenceLoad || function == F::BatteryDischargeCc || function == F::BatteryDischargeCp)
        state.TStop = state.TStop + Fixed4::fromCount(10000);
}

Outcome startLoop(RunContext &context, int function, QString *error)
{
    RunState &state = context.state;
    state.StableTime = 0;
    if (function == F::For) {
        CellReader cells(context, false);
        state.stepCells = context.program.rowCells(state.StepPointer);
        const qint32 count = cells.count32(Times);
        if (!cells.error().isEmpty()) {
            *error = cells.error();
            return Outcome::Failed;
        }
        state.LoopCount = count;
        state.LoopStartRow = qint16(state.StepPointer);
        state.StepPointer += 1;
    } else {
        state.LoopCount -= 1;
        state.StepPointer = state.LoopCount > 0 ? state.LoopStartRow + 1 : state.StepPointer + 1;
    }
    state.StepPending = 1;
    return Outcome::Jumped;
}

} // namespace

bool isExemptFromTimeExpiry(const QString &function)
{
    static const QStringList exempt{QStringLiteral("OCP"), QStringLiteral("OPP"), QStringLiteral("Short"),
        QStringLiteral("Sequence Load"), QStringLiteral("Battery RAMP"), QStringLiteral("Battery Cycle Life")};
    return exempt.contains(function);
}

Outcome startPendingStep(RunContext &context, QString *error)
{
    RunState &state = context.state;
    state.StepPending = 0;
    context.stepEndedThisPass = false;
    if (state.StepPointer > 1)
        context.program.ClearStepRowHighlight(state.StepPointer - 1);
    context.program.HighlightStepRow(state.StepPointer);
    state.MeasuredVoltage = QStringLiteral("0");
    state.MeasuredCurrent = QStringLiteral("0");
    state.AhTotal = 0;
    state.WhTotal = 0;
    state.CurrentFunction = context.program.cell(state.StepPointer, Function);

    const int function = FunctionCatalog::indexOf(state.CurrentFunction);
    if (function == F::For || function == F::Loop)
        return startLoop(context, function, error);

    const RunState before = state;
    state.stepCells = context.program.rowCells(state.StepPointer);
    const bool lenient = function == F::CvCurrentLimit || function == F::CvPowerLimit;
    CellReader cells(context, lenient);
    const std::optional<Plan> plan = readStep(context, function, cells);
    if (!plan) {
        // Nothing is read for a function whose guard fails: the step runs under what the step
        // before left.
        state = before;
    } else {
        QString problem = cells.error();
        for (LoadBuilder builder : plan->load) {
            if (problem.isEmpty())
                if (const CommandResult check = context.loadCommands.check(builder))
                    problem = check->text();
        }
        if (problem.isEmpty() && plan->generatorAfter)
            if (const CommandResult check = context.generatorCommands->check(*plan->generatorAfter))
                problem = check->text();
        if (!problem.isEmpty()) {
            *error = problem;
            return Outcome::Failed;
        }
        for (LoadBuilder builder : plan->load) {
            (context.loadCommands.*builder)();
            if (!context.stillRunning())
                return Outcome::Aborted;
        }
        if (plan->generatorAfter) {
            (context.generatorCommands->*(*plan->generatorAfter))();
            if (!context.stillRunning())
                return Outcome::Aborted;
        }
        addGraceSecond(state, function);
        if (function == F::Ocp || function == F::Opp) {
            state.VStop = state.IStop = state.AhStop = 0;
            state.TStop = Fixed4();
        }
    }

    state.StepStartText = RunText::dateTimeText(context.clock.now());
    if (state.StableTime > 0) {
        context.clock.waitMs(state.StableTime);
        if (!context.stillRunning())
            return Outcome::Aborted;
        state.StepStartText = RunText::dateTimeText(context.clock.now());
    }
    return Outcome::Started;
}

} // namespace StepStarter
