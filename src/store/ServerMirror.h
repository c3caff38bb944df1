#pragma once

#include "store/StoreServer.h"

#include <QHash>
#include <QMetaType>
#include <QSet>
#include <QString>
#include <atomic>

class QSqlDatabase;

// Brings the lab's server up to the bench's own store: every run, its samples and, once it has
// ended, its steps and result. Each round asks the server how far each run got, so a batch that
// was committed although its answer was lost is never sent twice, and the samples' key (run UUID,
// number) turns away any that would be. Both connections belong to the thread that calls it.
class ServerMirror
{
public:
    static constexpr int SamplesPerBatch = 5000;

    struct Outcome
    {
        int runsTouched = 0;
        qint64 samplesSent = 0;
        int runsCompleted = 0;
        // Runs the server does not hold whole yet, after this round.
        int runsWaiting = 0;
        // Why the round stopped short; "" when the server holds everything the bench had.
        QString error;
    };

    ServerMirror(QString sqlitePath, StoreServer server);
    ~ServerMirror();
    ServerMirror(const ServerMirror &) = delete;
    ServerMirror &operator=(const ServerMirror &) = delete;

    Outcome forwardAll();
    // The server was found to hold this run whole, end included, since the connection was made.
    bool holdsWhole(const QString &uuid) const { return m_known.value(uuid).complete; }
    // Checked between batches: a long backlog is left off where it stands when this is set.
    void setStopFlag(const std::atomic_bool *stop) { m_stop = stop; }
    const StoreServer &server() const { return m_server; }

private:
    struct Progress
    {
        qint64 sentSeq = 0;
        bool complete = false;
    };

    bool openLocal(QString *error);
    bool openServer(QString *error);
    void dropServer();
    bool serverProgress(const QString &uuid, Progress *progress, QString *error);
    bool forwardRun(const QString &uuid, bool ended, qint64 localLastSeq, Outcome *outcome, QString *error);
    bool sendHeader(QSqlDatabase &server, const QString &uuid, bool withEnd, QString *error);
    bool sendSamples(
        QSqlDatabase &server, const QString &uuid, qint64 after, qint64 *last, qint64 *count, QString *error);
    bool sendSteps(QSqlDatabase &server, const QString &uuid, QString *error);

    QString m_sqlitePath;
    StoreServer m_server;
    QString m_localConnection, m_serverConnection;
    // What the server is known to hold, since the connection was made.
    QHash<QString, Progress> m_known;
    // The local file's change counter at the last round that left nothing waiting.
    qint64 m_settledVersion = -1;
    const std::atomic_bool *m_stop = nullptr;
};

Q_DECLARE_METATYPE(ServerMirror::Outcome)
