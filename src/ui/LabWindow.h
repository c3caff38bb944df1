#pragma once

#include "store/StoreServer.h"
#include "ui/StationTableModel.h"

#include <QTimer>
#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class RunArchiveThread;
class RunChart;
class ChartHistory;
struct StoredRun;

// Every station of the lab as its server last heard of it, read again every 2 s on a thread of its
// own: which run, which step, what it reads, when it ends, how its last run ended, and which
// station went quiet. A station selected shows its run's chart, which follows the run as the
// station forwards it.
class LabWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ReadIntervalMs = 2000;

    // The lab server the settings file `iniPath` names in its [Store] section.
    explicit LabWindow(const QString &iniPath, QWidget *parent = nullptr);
    ~LabWindow() override;

    QLineEdit *stationFilter() const { return m_station; }
    QComboBox *stateFilter() const { return m_state; }
    QTableView *table() const { return m_table; }
    RunChart *chart() const { return m_chart; }
    const StationTableModel &model() const { return m_model; }
    QString statusText() const;
    QString chartTitle() const;

Q_SIGNALS:
    // The stations as the server answered, or why not.
    void stationsShown();
    // The selected station's run is drawn (again).
    void runShown(const QString &uuid);

private:
    QWidget *buildFilters();
    void read();
    void onStations(quint64 ticket, const QList<StationState> &stations, const QString &error);
    void onLoaded(quint64 ticket, const StoredRun &run, const ChartHistory &history, const QString &error);
    void showFiltered();
    void openSelected();
    void setStatus(const QString &text, bool trouble);

    // Before the server, which says into it why the settings name none.
    QString m_serverProblem;
    StoreServer m_server;
    int m_stationDays;
    std::unique_ptr<RunArchiveThread> m_reader, m_loader;
    QList<StationState> m_all;
    StationTableModel m_model;
    QTimer m_readAgain;
    quint64 m_readTicket = 0, m_loadTicket = 0;
    // The station selected, and the run of it the chart shows.
    // The followed station by its key, and as its row names it.
    QString m_openStation, m_openLabel, m_openRun;
    bool m_openRunning = false;
    QLineEdit *m_station = nullptr;
    QComboBox *m_state = nullptr;
    QTableView *m_table = nullptr;
    QLabel *m_chartTitle = nullptr;
    RunChart *m_chart = nullptr;
    QLabel *m_status = nullptr;
};
