#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

// The result log: one row per sample and per verdict, ten text columns, at most the newest 1000
// rows (the log file keeps them all).
class ResultLog : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int MaxRows = 1000;
    static constexpr int ColumnCount = 10;
    enum Column { No, StepTime, V, I, W, AH, WH, TotalTime, FunctionName, Result };

    using QAbstractTableModel::QAbstractTableModel;

    static const QStringList &headers();
    // Column widths in twips, as the window lays them out.
    static const QList<int> &columnWidthsTwips();

    void clear();
    // Adds a row at the end, pushing out the oldest when the log is full.
    void appendRow(QStringList cells);
    QStringList rowAt(int position) const { return m_rows.value(position); }
    const QList<QStringList> &rows() const { return m_rows; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The newest row, for the view to scroll to.
    void rowAppended(int position);

private:
    QList<QStringList> m_rows;
};
