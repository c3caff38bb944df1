#pragma once

#include "results/ChartHistory.h"
#include "run/RunRecorder.h"
#include "settings/ProgramFolder.h"
#include "store/StoreWriter.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class Identification;

// Keeps every run, its steps and each of its samples in "runs.sqlite" beside the settings file: a
// listener of the run's events. The samples go to the store's writer thread, which commits them
// every second and at each step's end; samplesKept() says how far, so that the CSV log can
// hold its rows back until their samples are in the store and a killed program's store holds
// every row its log holds. At the run's end the store keeps the run's chart history beside its
// samples, gathered as the live chart gathers it, so that a finished run is drawn without reading
// its samples again. The store never stops a run: a file that cannot be written is said,
// the run's samples wait in memory, and they go in once it can be written again. The run's end
// goes in ahead of samples that cannot, with the number of samples the run made, so that the
// store knows what it lacks; the run's end says how many, and that the CSV log holds them.
class RunStore : public QObject
{
    Q_OBJECT

public:
    static inline const QString FileName = ProgramFolder::StoreFileName;
    // A failure that lasts this long is said; a file held by another writer for a moment is not.
    static constexpr int SayFailureAfterMs = 2000;
    // How long a run's end waits for its last batch, on the thread that ran it, unless the batch
    // fails first.
    static constexpr int RunEndWaitMs = 3000;

    // Keeps the runs `recorder` records. The file goes in the folder of `iniPath`, whose text each
    // run keeps.
    RunStore(const RunRecorder &recorder, const Identification &identification, const QString &iniPath,
        QObject *parent = nullptr);
    ~RunStore() override;

    // The station's name as runs and the lab's server know it: [Store] Station= of the settings
    // file `iniPath`, or the machine's host name when that is empty or holds a control character.
    static QString stationName(const QString &iniPath);

    QString path() const { return m_writer.path(); }
    // False from a failed write until a write succeeds again.
    bool isWritable() const { return !m_failing; }
    // Why the file cannot be written, while it cannot.
    QString failure() const { return m_failing ? m_failure : QString(); }
    // The run being stored, or the last one; empty when none was.
    QString runUuid() const { return m_uuid; }
    // Waits, for at most `ms`, until every sample of the run so far is in the file; true when it is.
    bool waitForSamples(int ms);
    // The path of the CSV log each run writes, asked at its start: the store keeps it with the run.
    void setLogPath(std::function<QString()> logPath) { m_logPath = std::move(logPath); }

Q_SIGNALS:
    // Why the store cannot keep this run as it goes, with the file's path; at the run's end, how
    // many of its samples the store lacks and the CSV log that has them.
    void problem(const QString &text);
    // The store can be written again, or was made again.
    void notice(const QString &text);
    // The run's first `count` samples are in the file; while the file cannot be written, a count
    // above any (the log need not wait for what may never come).
    void samplesKept(qint64 count);
    // The run's end has gone to the file: in it, unless the file cannot be written now.
    void runEndKept();

private:
    void onRunStarted();
    void onStepStarted(const StepRecord &step);
    void onSample(const Sample &sample);
    void onVerdict(const StepRecord &step);
    void onRunEnded(const RunRecord &run);
    void onLoadOffChanged(const RunRecord &run);
    void onCommitted(const QString &runUuid, qint64 seq);
    void onWriteFailed(const QString &reason);
    void onWrittenAgain();
    void sayFailure();
    // At the run's end, while the file cannot be written: what the store lacks of the run.
    void sayLacking();

    const RunRecorder &m_recorder;
    const Identification &m_identification;
    QString m_iniPath;
    std::function<QString()> m_logPath;
    QString m_runLogPath;
    StoreWriter m_writer;
    ChartHistory m_history;
    QTimer m_sayFailure;
    QString m_uuid;
    QString m_failure;
    bool m_failing = false;
    bool m_failureSaid = false;
    bool m_identityKept = false;
    qint64 m_seq = 0;
};
