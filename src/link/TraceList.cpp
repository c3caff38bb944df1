#include "link/TraceList.h"

void TraceList::TraceLine(const QString &text)
{
    if (m_topIndex >= ClearAtTopIndex) {
        clear();
        return;
    }
    beginInsertRows(QModelIndex(), int(m_lines.size()), int(m_lines.size()));
    m_lines.append(text);
    endInsertRows();
    m_topIndex = int(m_lines.size()) - 1;
    Q_EMIT topIndexChanged(m_topIndex);
}

void TraceList::clear()
{
    beginResetModel();
    m_lines.clear();
    m_topIndex = 0;
    endResetModel();
    Q_EMIT topIndexChanged(m_topIndex);
}

int TraceList::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_lines.size()); }

QVariant TraceList::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_lines.size())
        return {};
    return m_lines.at(index.row());
}
