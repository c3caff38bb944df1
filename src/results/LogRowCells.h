#pragma once

#include "run/LogRow.h"

#include <QStringList>
#include <array>

// The ten cells of a row of the result log and its CSV file. A sample row fills the measure items
// the run records (voltage, current, power, Ah, Wh); a verdict row shows its value in the column of
// its quantity and "PASS" or "FAIL" in "Result".
namespace LogRowCells {

QStringList cells(const LogRow &row, const std::array<bool, 5> &measure);

} // namespace LogRowCells
