#include "model/TestProgram.h"

#include "model/StepColumns.h"

TestProgram::TestProgram(QObject *parent) : QAbstractTableModel(parent) { m_rows.resize(1); }

void TestProgram::SetupStepGrid()
{
    const int before = StepCount();
    beginResetModel();
    m_rows.clear();
    m_rows.resize(1);
    endResetModel();
    notifyStepCount(before);
}

void TestProgram::setGridRowCount(int rows)
{
    const int before = StepCount();
    const int wanted = std::max(rows, 2) - 1;
    const int have = int(m_rows.size());
    if (wanted > have) {
        beginInsertRows(QModelIndex(), have, wanted - 1);
        m_rows.resize(wanted);
        endInsertRows();
    } else if (wanted < have) {
        beginRemoveRows(QModelIndex(), wanted, have - 1);
        m_rows.resize(wanted);
        endRemoveRows();
    }
    notifyStepCount(before);
}

QString TestProgram::cell(int row, int column) const
{
    if (column < 0 || column >= ColumnCount)
        return {};
    if (row == 0)
        return StepColumns::headers().at(column);
    return isGridRow(row) ? rowAt(row).cells.at(column) : QString();
}

bool TestProgram::setCell(int row, int column, const QString &text)
{
    if (!isGridRow(row) || column < 0 || column >= ColumnCount || !isAcceptableCellText(text))
        return false;
    QString &target = rowAt(row).cells[column];
    if (target != text) {
        target = text;
        const QModelIndex changed = index(row - 1, column);
        Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
    }
    return true;
}

QStringList TestProgram::rowCells(int row) const
{
    if (row == 0)
        return StepColumns::headers();
    return isGridRow(row) ? rowAt(row).cells : QStringList(ColumnCount);
}

void TestProgram::insertGridRow(int row)
{
    if (row < 1 || row > int(m_rows.size()))
        return;
    const int before = StepCount();
    beginInsertRows(QModelIndex(), row - 1, row - 1);
    m_rows.insert(row - 1, Row());
    endInsertRows();
    notifyStepCount(before);
}

void TestProgram::removeGridRow(int row)
{
    if (row < 1 || row > StepCount())
        return;
    const int before = StepCount();
    beginRemoveRows(QModelIndex(), row - 1, row - 1);
    m_rows.removeAt(row - 1);
    endRemoveRows();
    notifyStepCount(before);
}

void TestProgram::swapStepCells(int rowA, int rowB)
{
    if (!isGridRow(rowA) || !isGridRow(rowB) || rowA == rowB)
        return;
    for (int column = 1; column < ColumnCount; ++column)
        std::swap(rowAt(rowA).cells[column], rowAt(rowB).cells[column]);
    Q_EMIT dataChanged(index(rowA - 1, 1), index(rowA - 1, ColumnCount - 1));
    Q_EMIT dataChanged(index(rowB - 1, 1), index(rowB - 1, ColumnCount - 1));
}

void TestProgram::renumber(int first, int last)
{
    for (int row = std::max(first, 1); row <= last && isGridRow(row); ++row)
        setCell(row, StepColumns::StepNo, QString::number(row));
}

void TestProgram::HighlightStepRow(int row) { setHighlight(row, true); }

void TestProgram::ClearStepRowHighlight(int row) { setHighlight(row, false); }

bool TestProgram::isHighlighted(int row) const { return isGridRow(row) && rowAt(row).highlighted; }

void TestProgram::setHighlight(int row, bool on)
{
    if (!isGridRow(row) || rowAt(row).highlighted == on)
        return;
    rowAt(row).highlighted = on;
    Q_EMIT dataChanged(index(row - 1, 1), index(row - 1, ColumnCount - 1), {HighlightRole});
}

int TestProgram::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int TestProgram::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TestProgram::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return row.cells.at(index.column());
    case HighlightRole:
        return index.column() > 0 && row.highlighted;
    case Qt::TextAlignmentRole:
        return index.column() > 0 ? QVariant(Qt::AlignCenter) : QVariant();
    default:
        return {};
    }
}

QVariant TestProgram::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return StepColumns::headers().at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TestProgram::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void TestProgram::notifyStepCount(int before)
{
    if (StepCount() != before)
        Q_EMIT stepCountChanged(StepCount());
}
