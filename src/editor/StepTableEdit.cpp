#include "editor/StepTableEdit.h"

#include "model/EditorFieldTable.h"
#include "model/StepColumns.h"
#include "model/StepJudge.h"
#include "model/StepRowBuilder.h"
#include "model/TestProgram.h"

#include <algorithm>

namespace StepTableEdit {

namespace {

bool isStepRow(const TestProgram &program, int row) { return row >= 1 && row <= program.StepCount(); }

Outcome refused(const QString &why) { return {false, why, -1}; }

Outcome noFunction() { return refused(QString::fromLatin1(NoFunctionMessage)); }

// Why the step's fields cannot be written as step `row`, whose cells are `before` now (blank for a
// new row), one line for each reason, naming each field as the operator sees it; empty when they
// can.
QString refusalOf(int row, const QStringList &before, const StepFields &fields, const LoadRatings &ratings)
{
    const QList<StepJudge::Refusal> judged
        = StepJudge(ratings).judgeStep(row, typedRowCells(before, fields), StepJudge::Source::Editor);
    QStringList lines = StepJudge::texts(judged);
    QStringList captions;
    for (const QString &field : refusedFields(fields)) {
        const QString caption = EditorFieldTable::captionOf(field).trimmed();
        // A number typed with a decimal comma is said as such already.
        const bool said = std::any_of(
            judged.begin(), judged.end(), [&](const StepJudge::Refusal &refusal) { return refusal.field == caption; });
        if (!said)
            captions.append(u'"' + caption + u'"');
    }
    if (!captions.isEmpty())
        lines.append(QStringLiteral("A step cannot hold \",\" (it separates the fields of a test step file): %1. "
                                    "Use \".\" as the decimal point.")
                         .arg(captions.join(QStringLiteral(", "))));
    return lines.join(u'\n');
}

QStringList blankRow() { return QStringList(TestProgram::ColumnCount); }

} // namespace

Outcome add(TestProgram &program, const StepFields &fields, const LoadRatings &ratings)
{
    if (fields.function.isEmpty())
        return noFunction();
    if (const QString why = refusalOf(program.StepCount() + 1, blankRow(), fields, ratings); !why.isEmpty())
        return refused(why);
    program.setGridRowCount(program.gridRowCount() + 1);
    const int row = program.StepCount();
    program.setCell(row, StepColumns::StepNo, QString::number(row));
    BuildStepRow(program, row, fields);
    return {true, {}, -1};
}

Outcome insert(TestProgram &program, int row, const StepFields &fields, const LoadRatings &ratings)
{
    if (fields.function.isEmpty())
        return noFunction();
    if (!isStepRow(program, row))
        return {};
    if (const QString why = refusalOf(row, blankRow(), fields, ratings); !why.isEmpty())
        return refused(why);
    program.insertGridRow(row);
    program.setCell(row, StepColumns::StepNo, QString::number(row));
    BuildStepRow(program, row, fields);
    program.renumber(row + 1, program.StepCount());
    return {true, {}, program.StepCount()};
}

Outcome modify(TestProgram &program, int row, const StepFields &fields, const LoadRatings &ratings)
{
    if (fields.function.isEmpty())
        return noFunction();
    if (!isStepRow(program, row))
        return {};
    if (const QString why = refusalOf(row, program.rowCells(row), fields, ratings); !why.isEmpty())
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
