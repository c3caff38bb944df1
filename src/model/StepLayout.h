#pragma once

#include <QList>
#include <QString>

// Which columns each function writes from which editor field, and in which form. The editor
// supplies field texts by name; writing a row and loading it back both read this one table.
namespace StepLayout {

enum class CellForm {
    Number, // the field read as a number and written in shortest form ("1.50" -> "1.5")
    Text, // the field's text exactly as typed
    Mode, // the caption of the selected load-mode option; nothing written when none is selected
};

struct CellSource
{
    int column;
    QString field;
    CellForm form;
};

// Sub-step lists packed into cells from a sub-step table.
enum class PackedSource { None, Ramp, Sequence, CycleLife };

struct FunctionLayout
{
    QList<CellSource> cells;
    PackedSource packed = PackedSource::None;
};

// The layout of a catalogue function; an empty layout for an index outside the catalogue.
const FunctionLayout &layoutOf(int functionIndex);

// Field names of the editor that are not plain text boxes.
inline const QString FreqTextSine = QStringLiteral("FreqText0");
inline const QString FreqTextSweep = QStringLiteral("FreqText1");

} // namespace StepLayout
