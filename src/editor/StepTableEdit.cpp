#include "editor/StepTableEdit.h"

#include "editor/EditorFieldTable.h"
#include "editor/NumberFieldCheck.h"
#include "model/StepColumns.h"
#include "model/StepRowBuilder.h"
#include "model/TestProgram.h"

namespace StepTableEdit {

namespace {

bool isStepRow(const TestProgram &program, int row) { return row >= 1 && row <= program.StepCount(); }

Outcome refused(const QString &why) { return {false, why, -1}; }

Outcome noFunction() { return refused(QString::fromLatin1(NoFunctionMessage)); }

// Why the step's fields cannot be written, one line for each reason, naming each field as the
// operator sees it; empty when they can.
QString refusalOf(const StepFields &fields, std::optional<double> ratedCurrent)
{
    QStringList lines = NumberFieldCheck::refusals(fields, ratedCurrent);
    QStringList captions;
    for (const QString &field : refusedFields(fields))
        captions.append(u'"' + EditorFieldTable::captionOf(field) + u'"');
    if (!captions.isEmpty())
        lines.append(QStringLiteral("A step cannot hold \",\" (it separates the fields of a test step file): %1. "
                                    "Use \".\" as the decimal point.")
                         .arg(captions.join(QStringLiteral(", "))));
    return lines.join(u'\n');
}

} // namespace

Outcome add(TestProgram &program, const StepFields &fields, std::optional<double> ratedCurrent)
{
    if (fields.function.isEmpty())
        return noFunction();
    if (const QString why = refusalOf(fields, ratedCurrent); !why.isEmpty())
        return refused(why);
    program.setGridRowCount(program.gridRowCount() + 1);
    const int row = program.StepCount();
    program.setCell(row, StepColumns::StepNo, QString::number(row));
    BuildStepRow(program, row, fields);
    return {true, {}, -1};
}

Outcome insert(TestProgram &program, int row, const StepFields &fields, std::optional<double> ratedCurrent)
{
    if (fields.function.isEmpty())
        return noFunction();
    if (!isStepRow(program, row))
        return {};
    if (const QString why = refusalOf(fields, ratedCurrent); !why.isEmpty())
        return refused(why);
    program.insertGridRow(row);
    program.setCell(row, StepColumns::StepNo, QString::number(row));
    BuildStepRow(program, row, fields);
    program.renumber(row + 1, program.StepCount());
    return {true, {}, program.StepCount()};
}

Outcome modify(TestProgram &program, int row, const StepFields &fields, std::optional<double> ratedCurrent)
{
    if (fields.function.isEmpty())
        return noFunction();
    if (!isStepRow(program, row))
        return {};
    if (const QString why = refusalOf(fields, ratedCurrent); !why.isEmpty())
        return refused(why);
    BuildStepRow(program, row, fields);
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
