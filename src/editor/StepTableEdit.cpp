#include "editor/StepTableEdit.h"

#include "model/StepColumns.h"
#include "model/StepRowBuilder.h"
#include "model/TestProgram.h"

namespace StepTableEdit {

namespace {

bool isStepRow(const TestProgram &program, int row) { return row >= 1 && row <= program.StepCount(); }

// Builds the step on a scratch table first, so a refused step leaves no trace in the real one.
QString refusalOf(const StepFields &fields)
{
    TestProgram scratch;
    return BuildStepRow(scratch, 1, fields);
}

Outcome refused(const QString &why) { return {false, why, -1}; }

} // namespace

Outcome add(TestProgram &program, const StepFields &fields)
{
    if (fields.function.isEmpty())
        return {};
    if (const QString why = refusalOf(fields); !why.isEmpty())
        return refused(why);
    program.setGridRowCount(program.gridRowCount() + 1);
    const int row = program.StepCount();
    program.setCell(row, StepColumns::StepNo, QString::number(row));
    BuildStepRow(program, row, fields);
    return {true, {}, -1};
}

Outcome insert(TestProgram &program, int row, const StepFields &fields)
{
    if (fields.function.isEmpty() || !isStepRow(program, row))
        return {};
    if (const QString why = refusalOf(fields); !why.isEmpty())
        return refused(why);
    program.insertGridRow(row);
    program.setCell(row, StepColumns::StepNo, QString::number(row));
    BuildStepRow(program, row, fields);
    program.renumber(row + 1, program.StepCount());
    return {true, {}, program.StepCount()};
}

Outcome modify(TestProgram &program, int row, const StepFields &fields)
{
    if (fields.function.isEmpty() || !isStepRow(program, row))
        return {};
    if (const QString why = BuildStepRow(program, row, fields); !why.isEmpty())
        return refused(why);
    return {true, {}, -1};
}

Outcome remove(TestProgram &program, int row)
{
    if (!isStepRow(program, row))
        return {};
    program.removeGridRow(row);
    program.renumber(row, program.StepCount());
    return {true, {}, std::min(row, program.StepCount() + 1)};
}

Outcome moveUp(TestProgram &program, int row)
{
    if (row < 2 || row > program.StepCount())
        return {};
    program.swapStepCells(row, row - 1);
    return {true, {}, row - 1};
}

Outcome moveDown(TestProgram &program, int row)
{
    if (row < 1 || row > program.StepCount() - 1)
        return {};
    program.swapStepCells(row, row + 1);
    return {true, {}, row + 1};
}

} // namespace StepTableEdit
