#pragma once

#include "model/EditorFieldTable.h"

#include <QString>
#include <QStringList>

// The limits of the sub-step tables and the time limit a sequence implies, apart from any widget.
namespace SubStepRules {

inline constexpr int RampMinSteps = EditorFieldTable::RampMinSteps;
inline constexpr int RampMaxSteps = EditorFieldTable::RampMaxSteps;
inline constexpr int SequenceMinSteps = EditorFieldTable::SequenceMinSteps;
inline constexpr int SequenceMaxSteps = EditorFieldTable::SequenceMaxSteps;
inline constexpr int CycleLifeRows = EditorFieldTable::CycleLifeRows;

// The total-step text after its limits: above the maximum it becomes the maximum, below the
// minimum the minimum; a text that is not a number (the empty text included) becomes the minimum.
// Any other text is kept as typed.
QString limitTotalStep(const QString &text, int minimum, int maximum);

// The number of sub-step columns a (limited) total-step text gives: its value rounded, halves to even.
int subStepCount(const QString &limitedText, int minimum);

// The Time stop (seconds) that covers a whole sequence with all its repeats plus one second:
// the first round(total) times (ms) summed, times the repeat count, in whole seconds (halves to
// even), plus 1.
QString sequenceTimeLimit(const QStringList &timesMs, const QString &totalStepText, const QString &repeatText);

} // namespace SubStepRules
