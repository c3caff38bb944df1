#pragma once

#include <QColor>

// The colours a run's readings and marks have wherever they are shown (the live chart, the
// readout beside it, the PDF report), so that a colour read in one place means the same in all.
namespace ChartColours {

inline const QColor Volts(0x1f, 0x6f, 0xd0);
inline const QColor Amps(0xd0, 0x4a, 0x1f);
inline const QColor Watts(0x2a, 0x9d, 0x3f);
inline const QColor Pass(0x1e, 0x8e, 0x3e);
inline const QColor Fail(0xc6, 0x28, 0x28);
inline const QColor StepMark(0x70, 0x70, 0x70);

} // namespace ChartColours
