#pragma once

#include "store/StationState.h"

#include <QList>
#include <QString>

// The lab's stations as `vornic-runs lab` prints them: one row each, a silent one said so with how
// long it has been.
namespace StationTable {

QString text(const QList<StationState> &stations);

} // namespace StationTable
