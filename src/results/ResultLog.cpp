#include "results/ResultLog.h"

const QStringList &ResultLog::headers()
{
    static const QStringList list{
        QStringLiteral("No."),
        QStringLiteral("StepTime"),
        QStringLiteral("V"),
        QStringLiteral("I"),
        QStringLiteral("W"),
        QStringLiteral("AH"),
        QStringLiteral("WH"),
        QStringLiteral("TotalTime"),
        QStringLiteral("Function Name"),
        QStringLiteral("Result"),
    };
    return list;
}

const QList<int> &ResultLog::columnWidthsTwips()
{
    static const QList<int> widths{900, 1800, 1200, 1200, 1800, 1800, 1800, 1800, 2800, 1000};
    return widths;
}

void ResultLog::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void ResultLog::appendRow(QStringList cells)
{
    cells.resize(ColumnCount);
    if (m_rows.size() >= MaxRows) {
        beginRemoveRows(QModelIndex(), 0, 0);
        m_rows.removeFirst();
        endRemoveRows();
    }
    const int position = int(m_rows.size());
    beginInsertRows(QModelIndex(), position, position);
    m_rows.append(cells);
    endInsertRows();
    Q_EMIT rowAppended(position);
}

int ResultLog::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int ResultLog::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ResultLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return m_rows.at(index.row()).at(index.column());
}

QVariant ResultLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return headers().at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
