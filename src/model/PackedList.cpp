#include "model/PackedList.h"

namespace PackedList {

QString pack(const QStringList &values)
{
    QString cell;
    for (const QString &value : values)
        cell += u';' + value;
    return cell;
}

QStringList split(const QString &cell) { return cell.split(u';'); }

QStringList values(const QString &cell)
{
    QStringList pieces = split(cell);
    pieces.removeFirst();
    return pieces;
}

} // namespace PackedList
