#include "model/StepRowBuilder.h"

#include "model/FunctionCatalog.h"
#include "model/NumberText.h"
#include "model/PackedList.h"
#include "model/StepColumns.h"
#include "model/StepLayout.h"
#include "model/TestProgram.h"

namespace {

// RAMP and Sequence Load: columns 1..k of the table's rows 1 and 2, k the total-step field's number.
QStringList tableRow(const SubStepCells &table, int row, double count)
{
    QStringList values;
    for (int column = 1; column <= count; ++column)
        values.append(table.cell(row, column));
    return values;
}

} // namespace

QHash<int, QString> packedCells(const StepFields &fields, int functionIndex)
{
    using namespace StepColumns;
    QHash<int, QString> cells;
    switch (StepLayout::layoutOf(functionIndex).packed) {
    case StepLayout::PackedSource::None:
        break;
    case StepLayout::PackedSource::Ramp:
    case StepLayout::PackedSource::Sequence: {
        const bool ramp = StepLayout::layoutOf(functionIndex).packed == StepLayout::PackedSource::Ramp;
        const SubStepCells &table = ramp ? fields.ramp : fields.sequence;
        const double count = NumberText::lenient(
            fields.text(ramp ? QStringLiteral("RampTotalStepText") : QStringLiteral("SeqLoadTotalStepText")));
        cells.insert(RampCc, PackedList::pack(tableRow(table, 1, count)));
        cells.insert(RampTime, PackedList::pack(tableRow(table, 2, count)));
        break;
    }
    case StepLayout::PackedSource::CycleLife: {
        const int columns[] = {High, Low, THigh, TLow, CycleCount};
        QStringList lists[5];
        // A blank CCH ends the list even when later rows are filled.
        for (int row = 1; row <= 3 && !fields.cycleLife.cell(row, 1).isEmpty(); ++row) {
            for (int i = 0; i < 5; ++i)
                lists[i].append(fields.cycleLife.cell(row, i + 1));
        }
        for (int i = 0; i < 5; ++i)
            cells.insert(columns[i], PackedList::pack(lists[i]));
        break;
    }
    }
    return cells;
}

namespace {

struct CellWrite
{
    int column;
    QString value;
    // The field the value comes from, or the column's header for a packed list.
    QString source;
};

// `typed`: number fields as typed, not yet turned into the numbers they are written as.
QList<CellWrite> cellWrites(const StepFields &fields, bool typed = false)
{
    const int function = FunctionCatalog::indexOf(fields.function);
    QList<CellWrite> writes{{StepColumns::Function, fields.function, QStringLiteral("Function")}};
    for (const StepLayout::CellSource &source : StepLayout::layoutOf(function).cells) {
        const QString text = fields.text(source.field);
        if (source.form == StepLayout::CellForm::Mode && text.isEmpty())
            continue;
        const QString value = source.form == StepLayout::CellForm::Number && !typed
            ? NumberText::shortest(NumberText::lenient(text))
            : text;
        writes.append({source.column, value, source.field});
    }
    const QHash<int, QString> packed = packedCells(fields, function);
    for (auto it = packed.begin(); it != packed.end(); ++it)
        writes.append({it.key(), it.value(), StepColumns::headers().at(it.key())});
    return writes;
}

} // namespace

QStringList typedRowCells(const QStringList &row, const StepFields &fields)
{
    QStringList cells = row;
    cells.resize(TestProgram::ColumnCount);
    for (const CellWrite &write : cellWrites(fields, true))
        cells[write.column] = write.value;
    return cells;
}

QStringList refusedFields(const StepFields &fields)
{
    QStringList refused;
    for (const CellWrite &write : cellWrites(fields)) {
        if (!TestProgram::isAcceptableCellText(write.value))
            refused.append(write.source);
    }
    refused.removeDuplicates();
    return refused;
}

QString BuildStepRow(TestProgram &program, int row, const StepFields &fields)
{
    if (const QStringList refused = refusedFields(fields); !refused.isEmpty())
        return QStringLiteral("A step cannot hold \",\" (it separates the fields of a test step file): %1")
            .arg(refused.join(QStringLiteral(", ")));
    for (const CellWrite &write : cellWrites(fields))
        program.setCell(row, write.column, write.value);
    return {};
}
