#include "model/StepJudge.h"

#include "model/EditorFieldTable.h"
#include "model/FunctionCatalog.h"
#include "model/NumberText.h"
#include "model/PackedList.h"
#include "model/StepColumns.h"
#include "model/StepLayout.h"
#include "model/TestProgram.h"

#include <QHash>

namespace {

using EditorFieldTable::Field;
using Refusal = StepJudge::Refusal;
using namespace StepColumns;

QString withUnit(double value, const QString &unit)
{
    const QString number = NumberText::shortest(value);
    return unit.isEmpty() ? number : number + u' ' + unit;
}

// One step being judged: its cells, the values accepted so far by column, and the refusals.
class StepReading
{
public:
    StepReading(int row, const QStringList &cells, const FunctionCatalog::Descriptor &function,
        const LoadRatings &ratings, StepJudge::Source source)
        : m_row(row),
          m_cells(cells),
          m_function(function),
          m_ratings(ratings),
          m_source(source),
          m_layout(StepLayout::layoutOf(function.index))
    { }

    QList<Refusal> judge()
    {
        for (const StepLayout::CellSource &source : m_layout.cells)
            judgeCell(source);
        judgeRelations();
        judgeSubSteps();
        return m_refusals;
    }

private:
    QString cell(int column) const { return m_cells.value(column); }

    void refuse(const QString &field, const QString &why)
    {
        const Refusal refusal{m_row, field, why};
        // A field written into two columns (the sweep's dwell and rise/fall) is said once.
        if (!m_refusals.contains(refusal))
            m_refusals.append(refusal);
    }

    const Field *fieldAt(int column) const
    {
        for (const StepLayout::CellSource &source : m_layout.cells) {
            if (source.column == column)
                return EditorFieldTable::fieldOf(m_function.index, source.field);
        }
        return nullptr;
    }

    QString captionAt(int column) const
    {
        const Field *field = fieldAt(column);
        return field ? field->label.trimmed() : StepColumns::headers().value(column);
    }

    QString unitAt(int column) const
    {
        const Field *field = fieldAt(column);
        return field ? unitOf(*field) : QString();
    }

    // The unit of a field's value: where it follows the step's load mode, the mode's, and none
    // while the mode is none of the four (the mode is refused on its own then).
    QString unitOf(const Field &field) const
    {
        if (field.unitLabelName.isEmpty())
            return field.unit;
        return EditorFieldTable::unitOfMode(int(EditorFieldTable::loadModeCaptions().indexOf(cell(Mode))));
    }

    void judgeCell(const StepLayout::CellSource &source)
    {
        const Field *field = EditorFieldTable::fieldOf(m_function.index, source.field);
        if (!field)
            return;
        const QString text = cell(source.column);
        switch (field->kind) {
        case EditorFieldTable::Kind::LoadMode:
            // The editor writes no mode while none is selected: the step keeps the one it had.
            if (!EditorFieldTable::loadModeCaptions().contains(text))
                refuse(field->label,
                    text.isEmpty() ? QStringLiteral("choose CC, CR, CV or CP.")
                                   : QStringLiteral("\"%1\" is none of CC, CR, CV, CP.").arg(text));
            return;
        case EditorFieldTable::Kind::TypeCombo:
            if (!EditorFieldTable::sequenceTypes().contains(text))
                refuse(field->label, QStringLiteral("\"%1\" is neither CC nor CP.").arg(text));
            return;
        case EditorFieldTable::Kind::Table:
            return;
        case EditorFieldTable::Kind::Text:
            break;
        }
        const bool writtenAsNumber
            = m_source == StepJudge::Source::Editor && source.form == StepLayout::CellForm::Number;
        QString why;
        const std::optional<double> value
            = field->rule.judge(text, unitOf(*field), m_ratings, writtenAsNumber || m_function.lenientCells, &why);
        if (value)
            m_values.insert(source.column, *value);
        else
            refuse(field->label.trimmed(), why);
    }

    void judgeRelations()
    {
        const FunctionCatalog::FieldRelations &relations = m_function.relations;
        const QString unit = unitAt(Start);
        if (relations.rampToStop) {
            if (m_values.contains(Start) && m_values.contains(EndValue) && m_values[EndValue] <= m_values[Start])
                refuse(captionAt(EndValue),
                    QStringLiteral("%1 is not above the %2 of %3.")
                        .arg(withUnit(m_values[EndValue], unit), captionAt(Start), withUnit(m_values[Start], unit)));
            if (m_values.contains(LimitHigh) && m_values.contains(LimitLow) && m_values[LimitHigh] < m_values[LimitLow])
                refuse(captionAt(LimitHigh),
                    QStringLiteral("%1 is below %2 (%3).")
                        .arg(withUnit(m_values[LimitHigh], unit), captionAt(LimitLow),
                            withUnit(m_values[LimitLow], unit)));
        }
        if (relations.timeRequired && m_values.value(TStop, 1) == 0)
            refuse(captionAt(TStop), QStringLiteral("enter a time above 0 s."));
        if (relations.swingAroundLevel && m_ratings.current && m_values.contains(IDc) && m_values.contains(IAc)) {
            const double peak = m_values[IDc] + m_values[IAc];
            if (peak > *m_ratings.current)
                refuse(captionAt(IAc),
                    QStringLiteral("%1 around %2 %3 reaches %4, more than the load's rated %5.")
                        .arg(withUnit(m_values[IAc], QStringLiteral("A")), captionAt(IDc),
                            withUnit(m_values[IDc], QStringLiteral("A")), withUnit(peak, QStringLiteral("A")),
                            withUnit(*m_ratings.current, QStringLiteral("A"))));
        }
    }

    // The number of sub-steps the step's lists must hold: its total-step cell where it has one
    // (judged as a field already), else the length of its first list.
    std::optional<int> subStepCount(const QList<EditorFieldTable::SubStepField> &lists)
    {
        if (m_layout.packed != StepLayout::PackedSource::CycleLife) {
            if (!m_values.contains(TotalStep))
                return std::nullopt;
            return int(m_values[TotalStep]);
        }
        const int count = int(PackedList::values(cell(lists.first().column)).size());
        const QString label = lists.first().label;
        if (count == 0) {
            refuse(label, QStringLiteral("the table holds no sub-step."));
            return std::nullopt;
        }
        if (count > EditorFieldTable::CycleLifeRows) {
            refuse(label,
                QStringLiteral("%1 sub-steps, the table holds at most %2.")
                    .arg(count)
                    .arg(EditorFieldTable::CycleLifeRows));
            return std::nullopt;
        }
        return count;
    }

    void judgeSubSteps()
    {
        const QList<EditorFieldTable::SubStepField> &lists = EditorFieldTable::subStepFieldsOf(m_layout.packed);
        if (lists.isEmpty())
            return;
        const std::optional<int> count = subStepCount(lists);
        if (!count)
            return;
        for (const EditorFieldTable::SubStepField &list : lists) {
            QString label = list.label;
            QString unit = list.unit;
            if (list.followsSequenceType) {
                unit = EditorFieldTable::unitOfSequenceType(cell(Mode));
                if (unit == u"W")
                    label = QStringLiteral("CP(W)");
            }
            const QStringList values = PackedList::values(cell(list.column));
            if (values.size() < *count) {
                refuse(label, QStringLiteral("the list holds %1 values, %2 needed.").arg(values.size()).arg(*count));
                continue;
            }
            for (int i = 0; i < *count; ++i) {
                QString why;
                if (!list.rule.judge(values.at(i), unit, m_ratings, false, &why))
                    refuse(QStringLiteral("%1 of sub-step %2").arg(label).arg(i + 1), why);
            }
        }
    }

    int m_row;
    const QStringList &m_cells;
    const FunctionCatalog::Descriptor &m_function;
    const LoadRatings &m_ratings;
    StepJudge::Source m_source;
    const StepLayout::FunctionLayout &m_layout;
    QHash<int, double> m_values;
    QList<Refusal> m_refusals;
};

} // namespace

QString StepJudge::Refusal::text() const
{
    return QStringLiteral("Step %1, %2: %3").arg(QString::number(row), field, why);
}

QList<StepJudge::Refusal> StepJudge::judgeStep(int row, const QStringList &cells, Source source) const
{
    const FunctionCatalog::Descriptor *function = FunctionCatalog::find(cells.value(Function));
    if (!function)
        return {};
    return StepReading(row, cells, *function, m_ratings, source).judge();
}

QList<StepJudge::Refusal> StepJudge::judgeProgram(const TestProgram &program) const
{
    QList<Refusal> refusals;
    for (int row = 1; row <= program.StepCount(); ++row)
        refusals += judgeStep(row, program.rowCells(row));
    return refusals;
}

QStringList StepJudge::texts(const QList<Refusal> &refusals)
{
    QStringList lines;
    for (const Refusal &refusal : refusals)
        lines.append(refusal.text());
    return lines;
}
