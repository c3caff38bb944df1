#pragma once

#include "model/NumberRule.h"
#include "model/StepLayout.h"

#include <QList>
#include <QString>

// What each editor frame holds: its fields in the order shown, with label, default text, unit and
// the rule its number follows, and which fields of the shared "Stop Condition" frame each function
// uses. The step editor builds its frames from it and the step judge names fields by its labels.
namespace EditorFieldTable {

enum class Kind {
    Text, // a text box
    LoadMode, // the four options "CC", "CR", "CV", "CP"
    Table, // a sub-step table
    TypeCombo, // the sequence type list "CC", "CP"
};

struct Field
{
    Kind kind = Kind::Text;
    QString label;
    QString name;
    QString defaultText;
    QString unit;
    // The object name of the unit label when the unit follows a load mode; empty otherwise.
    QString unitLabelName;
    QString toolTip;
    // What a text box's number takes.
    NumberRule rule;
};

const QList<Field> &fieldsOf(int functionIndex);
const QList<Field> &stopFields();
// A field of a function's frame or of the stop frame, by name; null for a name it has not.
const Field *fieldOf(int functionIndex, const QString &fieldName);
// The label the operator sees beside a field; a name that is no field's comes back as it is.
QString captionOf(const QString &fieldName);

enum class StopView { All, TimeOnly, TimeAndStable, Hidden };
StopView stopViewOf(int functionIndex);
bool showsStopField(StopView view, const QString &fieldName);

// The load-mode option captions by index, and the unit each selects.
const QList<QString> &loadModeCaptions();
QString unitOfMode(int modeIndex);
// The sequence types, and the unit of the levels each one takes.
const QList<QString> &sequenceTypes();
QString unitOfSequenceType(const QString &type);

// One row (RAMP, Sequence Load) or column (Cycle Life) of a sub-step table: the step's column its
// values are packed into, the label the table shows, and what each value takes.
struct SubStepField
{
    int column;
    QString label;
    QString unit;
    NumberRule rule;
    // The level of a sequence: its label and unit follow the sequence type ("CP(W)" for "CP").
    bool followsSequenceType = false;
};

// The lists a function packs from its sub-step table, in the table's order.
const QList<SubStepField> &subStepFieldsOf(StepLayout::PackedSource source);

// How many sub-steps each table holds: the total-step fields keep to these, and a Cycle Life step
// holds at least one row and at most all three.
inline constexpr int RampMinSteps = 1;
inline constexpr int RampMaxSteps = 9;
inline constexpr int SequenceMinSteps = 2;
inline constexpr int SequenceMaxSteps = 16;
inline constexpr int CycleLifeRows = 3;

} // namespace EditorFieldTable
