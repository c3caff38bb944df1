#include "ui/ComparisonTableModel.h"

#include "report/ReportStyle.h"

#include <QFont>

void ComparisonTableModel::setTable(const RunComparisonTable &table, QList<QColor> colours)
{
    beginResetModel();
    m_table = table;
    m_colours = std::move(colours);
    endResetModel();
}

int ComparisonTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_table ? 0 : int(m_table->rows().size());
}

int ComparisonTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_table ? 0 : int(m_table->headers().size());
}

QVariant ComparisonTableModel::data(const QModelIndex &index, int role) const
{
    if (!m_table || !index.isValid())
        return {};
    const bool runRow = index.row() < m_table->runRows();
    const QString text = m_table->rows().at(index.row()).value(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return text;
    case Qt::DecorationRole:
        if (runRow && index.column() == 0)
            return m_colours.value(index.row());
        return {};
    case Qt::ForegroundRole:
        if (runRow && (index.column() == m_table->resultColumn() || index.column() == m_table->healthColumn()))
            return ReportStyle::resultColor(text);
        return {};
    case Qt::FontRole:
        if (!runRow) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::TextAlignmentRole:
        return index.column() >= 5 && index.column() <= 9 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    default:
        return {};
    }
}

QVariant ComparisonTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || !m_table)
        return {};
    return m_table->headers().value(section);
}
