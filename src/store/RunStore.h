#pragma once

#include "results/RunSummary.h"
#include "run/RunEvents.h"

#include <QObject>
#include <QString>
#include <memory>

class Clock;
class StoreCheckpointer;
class Identification;
class QSqlQuery;

// Keeps every run, its steps and each of its samples in "runs.sqlite" beside the settings file: a
// listener of the run's events. Each sample is committed as it comes, ahead of its CSV row, so a
// crash loses nothing the log holds. The store never stops a run: a file that cannot be opened or
// written is reported once, and that run goes on unstored.
class RunStore : public QObject
{
    Q_OBJECT

public:
    static inline const QString FileName = QStringLiteral("runs.sqlite");

    // Listens to `events`; connect it after the run controller, whose CSV writer then comes first.
    // The file goes in the folder of `iniPath`, whose text each run keeps.
    RunStore(RunEvents &events, Clock &clock, const Identification &identification, const QString &iniPath,
        QObject *parent = nullptr);
    ~RunStore() override;

    QString path() const { return m_path; }
    bool isOpen() const { return m_sampleInsert != nullptr; }
    // The run being stored, or the last one; empty when none was.
    QString runUuid() const { return m_uuid; }

Q_SIGNALS:
    // Why the store keeps nothing more of this run, with the file's path.
    void problem(const QString &text);

private:
    bool open(QString *error);
    void close();
    void fail(const QString &reason);
    bool exec(QSqlQuery &query);
    void onRunStarted(const RunOptions &options);
    void onStepStarted();
    void onSample(const RunEvents::Sample &sample);
    void onRunEnded();
    bool writeEnd();

    // Constructed first, so that it hears each event before the store writes what it gathered.
    RunSummary m_summary;
    const Identification &m_identification;
    QString m_iniPath;
    QString m_path;
    QString m_connection;
    std::unique_ptr<QSqlQuery> m_sampleInsert;
    std::unique_ptr<StoreCheckpointer> m_checkpointer;
    QString m_uuid;
    // This run's rows are going in.
    bool m_storing = false;
    bool m_identityKept = false;
    qint64 m_seq = 0;
};
