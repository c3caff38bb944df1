#pragma once

#include <QList>
#include <QString>

// What each editor frame holds: its fields in the order shown, with label, default text and unit,
// and which fields of the shared "Stop Condition" frame each function uses.
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
};

const QList<Field> &fieldsOf(int functionIndex);
const QList<Field> &stopFields();
// The label the operator sees beside a field; a name that is no field's comes back as it is.
QString captionOf(const QString &fieldName);

enum class StopView { All, TimeOnly, TimeAndStable, Hidden };
StopView stopViewOf(int functionIndex);
bool showsStopField(StopView view, const QString &fieldName);

// The load-mode option captions by index, and the unit each selects.
const QList<QString> &loadModeCaptions();
QString unitOfMode(int modeIndex);

} // namespace EditorFieldTable
