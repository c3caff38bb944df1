#pragma once

#include "store/StoredRun.h"

#include <QAbstractTableModel>
#include <QList>

// The runs of a store as a table, one row per run as RunArchive::runs() lists it. Each cell's
// SortRole holds a value that sorts as the operator expects (times, counts and durations as numbers).
class RunListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Started, Station, Program, Model, Result, Samples, Duration, AmpHours, ColumnCount };
    static constexpr int SortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    void setRuns(QList<StoredRun> runs);
    const StoredRun &runAt(int row) const { return m_runs.at(row); }
    // The row of the run with this UUID, or -1.
    int rowOf(const QString &uuid) const;

    // The program file's name without its folder, whichever separator the station wrote.
    static QString programFileName(const QString &path);
    // "1:02:03"; "" for a run that has not ended.
    static QString durationText(const StoredRun &run);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QVariant display(const StoredRun &run, int column) const;
    QVariant sortValue(const StoredRun &run, int column) const;

    QList<StoredRun> m_runs;
};
