#pragma once

#include "store/RunComparisonTable.h"

#include <QAbstractTableModel>
#include <QColor>
#include <optional>

// The comparison's figures as a table: a row per run with its curve's colour beside its number,
// results and health verdicts in their colours, then the spread's rows in bold.
class ComparisonTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void setTable(const RunComparisonTable &table, QList<QColor> colours);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::optional<RunComparisonTable> m_table;
    QList<QColor> m_colours;
};
