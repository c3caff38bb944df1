#pragma once

#include "store/RunArchive.h"
#include "store/RunListModel.h"

#include <QHash>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ChartHistory;
class CompareWindow;
class DateBoundEdit;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class RunArchiveThread;
class RunChart;

// The runs a store keeps, to look back at: this bench's own file or the lab's server, filtered as
// the operator types, newest first. A selected run shows its summary and chart, and can be written
// out as CSV or as a PDF report. Every read is on a thread of its own: a server that does not
// answer, or a run of a million samples, never holds up the window.
class RunsWindow : public QWidget
{
    Q_OBJECT

public:
    // Typing is let settle this long before the store is asked again.
    static constexpr int FilterDelayMs = 250;
    // A run shown while it is still going (here or on another bench) is read again this often.
    static constexpr int LiveIntervalMs = 2000;

    // The runs stored beside the settings file `iniPath`, and on the server its [Store] names.
    explicit RunsWindow(const QString &iniPath, QWidget *parent = nullptr);
    ~RunsWindow() override;

    QComboBox *sourceBox() const { return m_source; }
    QLineEdit *programFilter() const { return m_program; }
    QLineEdit *modelFilter() const { return m_model; }
    QComboBox *resultFilter() const { return m_result; }
    DateBoundEdit *fromDate() const { return m_from; }
    DateBoundEdit *toDate() const { return m_to; }
    QTableView *table() const { return m_table; }
    QPlainTextEdit *summaryView() const { return m_summary; }
    RunChart *chart() const { return m_chart; }
    QString statusText() const;
    QString chartTitle() const;
    // The UUIDs of the rows in the order shown.
    QStringList shownUuids() const;
    // The UUIDs of the rows selected, in the order shown.
    QStringList selectedUuids() const;
    QPushButton *compareButton() const { return m_compare; }
    // Opens the runs selected in a window of their own, which deletes itself when closed; none
    // unless from 2 to CompareWindow::MostRuns are selected.
    CompareWindow *compareSelected();

public Q_SLOTS:
    // Asks the store for the runs again, now.
    void refresh();

Q_SIGNALS:
    // The list has the store's answer: its runs, or why there are none.
    void listShown();
    // The run's summary and chart are shown.
    void runShown(const QString &uuid);

private:
    struct Source
    {
        QString label;
        std::function<RunArchive()> makeArchive;
        // Lists and writes on one thread, loads on another: a long load holds up neither.
        std::unique_ptr<RunArchiveThread> lists, loads;
    };

    QWidget *buildFilters();
    QWidget *buildTable();
    QWidget *buildRunView();
    Source &source();
    RunArchive::Filter filter() const;
    void sourceChanged();
    // Reads the run on show again, keeping what is shown until the new reading comes.
    void reloadShown();
    void openCurrent();
    void onListed(quint64 ticket, const QList<StoredRun> &runs, const QString &error);
    void onLoaded(quint64 ticket, const StoredRun &run, const ChartHistory &history, const QString &error);
    void onWritten(quint64 ticket, const QString &error);
    void clearRun();
    void selectionChanged();
    void writeOut(const QString &title, const QString &suffix, const QString &fileFilter,
        std::function<QString(const RunArchive &, const StoredRun &, const QString &)> write);
    void setStatus(const QString &text, bool trouble);

    std::vector<Source> m_sources;
    // Why the settings' lab server is not among the sources; said with every list.
    QString m_serverProblem;
    QString m_storeFile;
    // Where the next export or report is proposed: the settings' folder, then the last one chosen.
    QString m_saveFolder;
    RunListModel m_runs;
    QTimer m_filterDelay;
    QTimer m_followLive;
    QComboBox *m_source = nullptr;
    QPushButton *m_refresh = nullptr;
    QPushButton *m_compare = nullptr;
    QLineEdit *m_program = nullptr;
    QLineEdit *m_model = nullptr;
    QComboBox *m_result = nullptr;
    DateBoundEdit *m_from = nullptr;
    DateBoundEdit *m_to = nullptr;
    QSortFilterProxyModel *m_sorted = nullptr;
    QTableView *m_table = nullptr;
    QPlainTextEdit *m_summary = nullptr;
    QLabel *m_chartTitle = nullptr;
    QPushButton *m_export = nullptr;
    QPushButton *m_report = nullptr;
    RunChart *m_chart = nullptr;
    QLabel *m_status = nullptr;

    quint64 m_listTicket = 0;
    quint64 m_loadTicket = 0;
    // The run selected: being loaded, or shown once m_shown is set.
    QString m_openUuid;
    std::optional<StoredRun> m_shown;
    // Files being written, by ticket.
    QHash<quint64, QString> m_writing;
};
