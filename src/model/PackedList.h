#pragma once

#include <QString>
#include <QStringList>

// Sub-step lists kept in one cell: ";" before each value, so 1, 2 and 0.5 are stored as ;1;2;0.5.
namespace PackedList {

QString pack(const QStringList &values);
// Split at ";": element 0 is the text before the first ";" (empty in a well-formed cell), the
// sub-step values are elements 1..k.
QStringList split(const QString &cell);
// The sub-step values alone (elements 1..k); an empty cell has none.
QStringList values(const QString &cell);

} // namespace PackedList
