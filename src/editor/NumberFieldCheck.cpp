#include "editor/NumberFieldCheck.h"

#include "editor/EditorFieldTable.h"
#include "model/FunctionCatalog.h"
#include "model/NumberText.h"
#include "model/StepLayout.h"

#include <cmath>
#include <limits>

namespace NumberFieldCheck {

namespace {

using EditorFieldTable::Field;

// What a field takes beyond a number that is not negative: no number field of a step means
// anything below 0.
struct Limits
{
    // A stop condition left blank is no stop, as 0 is.
    bool blankReadsZero = false;
    bool whole = false;
    double maximum = std::numeric_limits<double>::infinity();
};

Limits limitsOf(const QString &field)
{
    Limits limits;
    for (const Field &stop : EditorFieldTable::stopFields())
        limits.blankReadsZero = limits.blankReadsZero || stop.name == field;
    if (field == u"ForTimesText") {
        // The run counts the loop in 32 bits.
        limits.whole = true;
        limits.maximum = std::numeric_limits<qint32>::max();
    } else if (field == u"SeqRepeatText") {
        // The load's own repeat counter.
        limits.whole = true;
        limits.maximum = 65535;
    } else if (field == u"DiscTStopText" || field == u"ShortTimeText") {
        // Both go out in four-decimal fixed point, whose range ends a little above this.
        limits.maximum = 9e14;
    }
    return limits;
}

const Field *fieldNamed(int function, const QString &name)
{
    for (const QList<Field> *frame : {&EditorFieldTable::fieldsOf(function), &EditorFieldTable::stopFields()}) {
        for (const Field &field : *frame) {
            if (field.name == name)
                return &field;
        }
    }
    return nullptr;
}

// The unit of a field's number; where the unit follows the load mode, the selected mode's, and
// none while no mode is selected.
QString unitOf(const StepFields &fields, int function, const QString &name)
{
    const Field *field = fieldNamed(function, name);
    if (!field)
        return {};
    if (field->unitLabelName.isEmpty())
        return field->unit;
    for (const StepLayout::CellSource &source : StepLayout::layoutOf(function).cells) {
        if (source.form == StepLayout::CellForm::Mode)
            return EditorFieldTable::unitOfMode(
                int(EditorFieldTable::loadModeCaptions().indexOf(fields.text(source.field))));
    }
    return {};
}

QString withUnit(const QString &number, const QString &unit) { return unit.isEmpty() ? number : number + u' ' + unit; }

QString refusalOf(const QString &text, const QString &unit, const Limits &limits, std::optional<double> ratedCurrent)
{
    const QString typed = text.trimmed();
    if (typed.isEmpty())
        return limits.blankReadsZero ? QString() : QStringLiteral("enter a number.");
    if (typed.contains(u','))
        return QStringLiteral("\"%1\" is not a number; use \".\" as the decimal point.").arg(typed);
    const std::optional<double> value = NumberText::strict(typed);
    if (!value)
        return QStringLiteral("\"%1\" is not a number.").arg(typed);
    if (*value < 0)
        return QStringLiteral("%1 cannot be negative.").arg(withUnit(typed, unit));
    if (limits.whole && std::trunc(*value) != *value)
        return QStringLiteral("%1 is not a whole number.").arg(typed);
    if (*value > limits.maximum)
        return QStringLiteral("%1 is more than %2.")
            .arg(withUnit(typed, unit), withUnit(NumberText::shortest(limits.maximum), unit));
    if (unit == u"A" && ratedCurrent && *value > *ratedCurrent)
        return QStringLiteral("%1 is more than the load's rated %2.")
            .arg(withUnit(typed, unit), withUnit(NumberText::shortest(*ratedCurrent), unit));
    return {};
}

} // namespace

QStringList refusals(const StepFields &fields, std::optional<double> ratedCurrent)
{
    const int function = FunctionCatalog::indexOf(fields.function);
    QStringList lines;
    for (const StepLayout::CellSource &source : StepLayout::layoutOf(function).cells) {
        if (source.form != StepLayout::CellForm::Number)
            continue;
        const QString why = refusalOf(
            fields.text(source.field), unitOf(fields, function, source.field), limitsOf(source.field), ratedCurrent);
        if (!why.isEmpty())
            lines.append(EditorFieldTable::captionOf(source.field) + QStringLiteral(": ") + why);
    }
    return lines;
}

} // namespace NumberFieldCheck
