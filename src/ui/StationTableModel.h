#pragma once

#include "store/StationState.h"

#include <QAbstractTableModel>
#include <QList>

// The lab's stations as a table: one row per station with its state, program, step, readings,
// time left, estimated end, last result, whether its last run's load was confirmed off and when it
// was last heard from. A silent station reads "Silent (N s)" in the state column, whatever it last
// said it was doing; one whose load may still be on is marked as a silent one is.
class StationTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Station,
        State,
        Program,
        Step,
        Volts,
        Amps,
        AmpHours,
        Elapsed,
        StepLeft,
        Ends,
        LastResult,
        LoadOffState,
        Heard,
        ColumnCount
    };
    // What the state filter matches, besides "All".
    static inline const QStringList StateWords{
        QStringLiteral("Running"), QStringLiteral("Finished"), QStringLiteral("Idle"), QStringLiteral("Silent")};

    using QAbstractTableModel::QAbstractTableModel;

    // Rows kept in place where the same station is still there, so a selection survives a refresh.
    void setStations(const QList<StationState> &stations);
    const QList<StationState> &stations() const { return m_stations; }
    const StationState &stationAt(int row) const { return m_stations.at(row); }

    // "Running", "Finished", "Idle" or "Silent": what the state filter matches.
    static QString stateWord(const StationState &state);
    // What the state column shows: "Silent (14 s)" for a silent station.
    static QString stateText(const StationState &state);
    // "load not confirmed off since 09:40:00" until a later try finds the load off, then
    // "confirmed off 09:41:02"; "" for a load its run confirmed off.
    static QString loadOffText(const StationState &state);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString text(const StationState &state, int column) const;

    QList<StationState> m_stations;
};
