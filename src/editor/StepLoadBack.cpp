#include "editor/StepLoadBack.h"

#include "editor/SubStepRules.h"
#include "model/EditorFieldTable.h"
#include "model/FunctionCatalog.h"
#include "model/PackedList.h"
#include "model/StepColumns.h"
#include "model/StepLayout.h"
#include "model/TestProgram.h"

namespace StepLoadBack {

namespace {

QString tooLong(int row, const QString &function, int pieces, int limit, const char *unit)
{
    return QStringLiteral("Step %1 (%2) holds %3 sub-steps, but its table takes at most %4 %5. "
                          "Nothing was loaded.")
        .arg(row)
        .arg(function)
        .arg(pieces)
        .arg(limit)
        .arg(QLatin1String(unit));
}

// RAMP and Sequence Load: a sub-step is a column, row 1 its level and row 2 its time; the count
// comes from the level list. A time list that is shorter leaves blanks.
void planColumns(Plan &plan, const TestProgram &program, int row, int limit)
{
    const QStringList levels = PackedList::values(program.cell(row, StepColumns::RampCc));
    const QStringList times = PackedList::values(program.cell(row, StepColumns::RampTime));
    const int count = int(levels.size());
    if (count > limit || times.size() > limit) {
        plan.error = tooLong(row, plan.function, int(std::max(levels.size(), times.size())), limit, "columns");
        return;
    }
    for (int i = 0; i < count; ++i) {
        plan.tableCells.append({1, i + 1, levels.at(i)});
        plan.tableCells.append({2, i + 1, times.value(i)});
    }
    plan.tableColumnsNeeded = count;
    if (plan.tableKind == SubStepTable::Kind::Ramp)
        plan.texts.append({QStringLiteral("RampTotalStepText"), QString::number(count)});
}

void planCycleLife(Plan &plan, const TestProgram &program, int row)
{
    using namespace StepColumns;
    const int columns[] = {High, Low, THigh, TLow, CycleCount};
    QList<QStringList> lists;
    qsizetype longest = 0;
    for (int column : columns) {
        lists.append(PackedList::values(program.cell(row, column)));
        longest = std::max(longest, lists.last().size());
    }
    if (longest > SubStepRules::CycleLifeRows) {
        plan.error = tooLong(row, plan.function, int(longest), SubStepRules::CycleLifeRows, "rows");
        return;
    }
    for (int i = 0; i < lists.first().size(); ++i) {
        for (int j = 0; j < 5; ++j)
            plan.tableCells.append({i + 1, j + 1, lists.at(j).value(i)});
    }
}

} // namespace

Plan plan(const TestProgram &program, int row)
{
    Plan result;
    result.function = program.cell(row, StepColumns::Function);
    const int function = FunctionCatalog::indexOf(result.function);
    const StepLayout::FunctionLayout &layout = StepLayout::layoutOf(function);
    for (const StepLayout::CellSource &source : layout.cells) {
        const QString cell = program.cell(row, source.column);
        if (source.form == StepLayout::CellForm::Mode) {
            const int mode = int(EditorFieldTable::loadModeCaptions().indexOf(cell));
            if (mode >= 0)
                result.modes.append({source.field, mode});
        } else {
            result.texts.append({source.field, cell});
        }
    }
    switch (layout.packed) {
    case StepLayout::PackedSource::None:
        break;
    case StepLayout::PackedSource::Ramp:
        result.hasTable = true;
        result.tableKind = SubStepTable::Kind::Ramp;
        planColumns(result, program, row, SubStepRules::RampMaxSteps);
        break;
    case StepLayout::PackedSource::Sequence:
        result.hasTable = true;
        result.tableKind = SubStepTable::Kind::Sequence;
        planColumns(result, program, row, SubStepRules::SequenceMaxSteps);
        break;
    case StepLayout::PackedSource::CycleLife:
        result.hasTable = true;
        result.tableKind = SubStepTable::Kind::CycleLife;
        planCycleLife(result, program, row);
        break;
    }
    return result;
}

} // namespace StepLoadBack
