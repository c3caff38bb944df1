#include "run/ProgramTimes.h"

#include "model/FunctionCatalog.h"
#include "model/NumberText.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"

namespace ProgramTimes {

std::optional<double> stepSeconds(const TestProgram &program, int row)
{
    using F = FunctionCatalog::Index;
    const FunctionCatalog::Descriptor *function = FunctionCatalog::find(program.cell(row, StepColumns::Function));
    if (!function || function->exemptFromTimeExpiry || function->loadRun != FunctionCatalog::LoadRunTest::None)
        return std::nullopt;
    switch (function->index) {
    case F::For:
    case F::Loop:
    case F::Ocp:
    case F::Opp:
    case F::Short:
    case F::DynamicOff:
    case F::BatteryRamp:
    case F::BatteryCycleLife:
        return std::nullopt;
    default:
        break;
    }
    const double seconds = NumberText::lenient(program.cell(row, StepColumns::TStop));
    if (seconds <= 0)
        return std::nullopt;
    // A Rest reads no stop but its time; the others end at whichever stop comes first.
    if (function->index != F::Rest) {
        for (int column : {StepColumns::VStop, StepColumns::IStop, StepColumns::AhStop})
            if (NumberText::lenient(program.cell(row, column)) != 0)
                return std::nullopt;
    }
    return seconds;
}

std::optional<double> secondsAfter(const TestProgram &program, int row)
{
    double total = 0;
    for (int next = row + 1; next <= program.StepCount(); ++next) {
        if (program.cell(next, StepColumns::Function).trimmed().isEmpty())
            break;
        const std::optional<double> seconds = stepSeconds(program, next);
        if (!seconds)
            return std::nullopt;
        total += *seconds;
    }
    return total;
}

} // namespace ProgramTimes
