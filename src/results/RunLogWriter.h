#pragma once

#include "results/LogRowGate.h"
#include "results/RunLogFile.h"
#include "run/RunRecorder.h"

#include <QObject>
#include <functional>

class ResultLog;
class RunController;

// Writes the run's rows, as the recorder hands them out, into the result log the window shows
// and into the run's CSV file. A file that cannot be written is the run's end: failed() says so,
// and the composition stops the run with the load off.
class RunLogWriter : public QObject
{
    Q_OBJECT

public:
    // `separatorText` is the separator box's text, read at each write.
    RunLogWriter(const RunRecorder &recorder, ResultLog &results, std::function<QString()> separatorText,
        QObject *parent = nullptr);

    // The run starts only once the file is open, and a file that can no longer be written stops
    // it with the load off: the log is the run's record.
    void bindTo(RunController &run);
    void setPath(const QString &path) { m_path = path; }
    QString path() const { return m_path; }
    // Empties the file and writes its header; the reason the run cannot start when it cannot.
    QString open();
    // From the next run on, each row waits until the samples made before it are kept
    // (samplesKept), and at the run's end `keepAll` is asked to keep the rest before the last
    // rows are written. Unset, each row is written as it is made.
    void holdRowsUntilKept(std::function<void()> keepAll) { m_keepAll = std::move(keepAll); }
    void samplesKept(qint64 count);
    // The rows the last run's file holds.
    int rowsLogged() const { return m_file.rows(); }

Q_SIGNALS:
    void failed(const QString &message);

private:
    void writeRows(const QList<QStringList> &rows);
    void onRunEnded();

    const RunRecorder &m_recorder;
    ResultLog &m_results;
    std::function<QString()> m_separatorText;
    std::function<void()> m_keepAll;
    RunLogFile m_file;
    LogRowGate m_gate;
    QString m_path;
};
