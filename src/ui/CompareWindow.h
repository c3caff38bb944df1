#pragma once

#include "store/RunComparison.h"
#include "ui/ComparisonTableModel.h"
#include "ui/RunArchiveThread.h"

#include <QStringList>
#include <QThread>
#include <QWidget>
#include <memory>

class OverlayChart;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;

// Stored runs side by side: their curves laid over each other by time or by Ah, from each run's
// start or aligned at a step, and their figures with the spread over the runs and, against a
// nominal capacity, each run's state of health. The runs are read once, on a thread of their own;
// aligning, measuring and drawing them again is done from what was read.
class CompareWindow : public QWidget
{
    Q_OBJECT

public:
    // As many runs as keep their colours apart.
    static constexpr int MostRuns = 20;

    // The runs `uuids` of the store `makeArchive` opens, which `sourceLabel` names; files are
    // proposed in `saveFolder`.
    CompareWindow(RunArchiveThread::ArchiveMaker makeArchive, const QString &sourceLabel, const QStringList &uuids,
        const QString &saveFolder, QWidget *parent = nullptr);
    ~CompareWindow() override;

    OverlayChart *chart() const { return m_chart; }
    QTableView *table() const { return m_table; }
    QComboBox *byBox() const { return m_by; }
    QComboBox *quantityBox() const { return m_quantity; }
    // 0: from each run's start.
    QSpinBox *alignBox() const { return m_align; }
    QLineEdit *nominalEdit() const { return m_nominal; }
    QDoubleSpinBox *thresholdBox() const { return m_threshold; }
    QString statusText() const;
    // What is shown: the runs aligned and measured as asked.
    const RunComparison &comparison() const { return m_shown; }

    // Written off the window's thread; "" on success, else why not, also said in the status line.
    void saveChart(const QString &path);
    void saveFigures(const QString &path);
    void savePdf(const QString &path);

Q_SIGNALS:
    // The runs are read and shown, or why not is said.
    void runsRead();
    // A file asked for is written, or why not is said.
    void saved(const QString &path, const QString &error);

private:
    QWidget *buildControls();
    void onRead(quint64 ticket, const RunComparison &runs, const QString &error);
    // Aligns, measures and draws the runs read as the controls say.
    void showComparison();
    void setStatus(const QString &text, bool trouble);
    void ask(const QString &title, const QString &suffix, const QString &filter,
        void (CompareWindow::*save)(const QString &));
    void writeOff(const QString &path, std::function<QString()> write);

    QString m_sourceLabel;
    QString m_saveFolder;
    RunArchiveThread m_reader;
    quint64 m_ticket = 0;
    RunComparison m_read;
    RunComparison m_shown;
    QStringList m_leftOut;
    ComparisonTableModel m_model;
    std::unique_ptr<QThread> m_writing;
    OverlayChart *m_chart = nullptr;
    QTableView *m_table = nullptr;
    QComboBox *m_by = nullptr;
    QComboBox *m_quantity = nullptr;
    QSpinBox *m_align = nullptr;
    QLineEdit *m_nominal = nullptr;
    QDoubleSpinBox *m_threshold = nullptr;
    QPushButton *m_whole = nullptr;
    QPushButton *m_saveChart = nullptr;
    QPushButton *m_saveFigures = nullptr;
    QPushButton *m_savePdf = nullptr;
    QLabel *m_status = nullptr;
};
