#pragma once

#include <QString>
#include <QStringList>

// The limits of the sub-step tables and the time limit a sequence implies, apart from any widget.
namespace SubStepRules {

inline constexpr int RampMinSteps = 1;
inline constexpr int RampMaxSteps = 9;
inline constexpr int SequenceMinSteps = 2;
inline constexpr int SequenceMaxSteps = 16;
inline constexpr int CycleLifeRows = 3;

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
