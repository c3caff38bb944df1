#pragma once

#include "model/PackedList.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The cells of the running step as stored, read by the command builders by column, with the row
// they came from (a builder that cannot use a cell names the step by it).
struct StepValues
{
    qint32 row = 0;
    QStringList cells = QStringList(32);

    QString cell(int column) const { return column >= 0 && column < cells.size() ? cells.at(column) : QString(); }
    // A packed sub-step list split at ";": element 0 is the text before the first ";", elements
    // 1 .. size() - 1 are the sub-steps. An empty cell has no sub-steps.
    QStringList list(int column) const { return PackedList::split(cell(column)); }
};
