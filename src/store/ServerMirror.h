#pragma once

#include "store/ForwardState.h"
#include "store/PgConnection.h"
#include "store/ServerSocket.h"
#include "store/StationStateHolder.h"
#include "store/StoreServer.h"

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QSet>
#include <QString>
#include <atomic>

class PgParams;

// Brings the lab's server up to the bench's own store: every run, its samples and, once it has
// ended, its steps, its kept chart and its result. Each round asks the server how far each run got,
// so a batch that was committed although its answer was lost is never sent twice, and the samples'
// key (run UUID, number) turns away any that would be. Each run goes on its own: a run the server refuses is set
// aside with the server's reason and offered again later, and the runs after it go on; a server
// that cannot be reached ends the round. Both connections belong to the thread that calls it.
class ServerMirror
{
public:
    static constexpr int SamplesPerBatch = 5000;

    struct Refusal
    {
        QString uuid;
        QString reason;
        QDateTime nextTry;
    };

    struct Outcome
    {
        // Runs the server was sent something of.
        int runsTouched = 0;
        qint64 samplesSent = 0;
        int runsCompleted = 0;
        // Runs the server does not hold whole yet, after this round.
        int runsWaiting = 0;
        // Runs the server refused in this round.
        QList<Refusal> refused;
        // Why the round stopped short: the server cannot be reached or take runs now. "" when
        // every run went or was refused on its own.
        QString error;
    };

    ServerMirror(QString sqlitePath, StoreServer server);
    ~ServerMirror();
    ServerMirror(const ServerMirror &) = delete;
    ServerMirror &operator=(const ServerMirror &) = delete;

    Outcome forwardAll();
    // The station's state, stamped with the server's clock; false with `error` set when the server
    // cannot be reached or written.
    bool sendStationState(const StationStateHolder::Snapshot &snapshot, QString *error);
    // The last round found the server holding this run whole, end included, as the bench has it.
    bool holdsWhole(const QString &uuid) const { return m_whole.contains(uuid); }
    // Why the server refused this run, when it did and the run waits to be offered again.
    QString refusal(const QString &uuid) const;
    // Runs the server refused are offered at every round, not after their pause: for a person who
    // asks for forwarding now.
    void setOfferRefusedNow(bool now) { m_offerRefusedNow = now; }
    // Checked between batches: a long backlog is left off where it stands when this is set.
    void setStopFlag(const std::atomic_bool *stop) { m_stop = stop; }
    // The server connection's socket, which another thread may cut.
    ServerSocket &socket() { return m_socket; }
    const StoreServer &server() const { return m_server; }

private:
    // A run as the bench holds it, and how far the server's copy of it is.
    struct LocalRun
    {
        QString uuid;
        bool ended = false;
        qint64 lastSeq = 0;
        QString endSignature, importedFrom;
    };
    struct Progress
    {
        bool present = false;
        qint64 sentSeq = 0;
        bool ended = false;
        QString endSignature, importedFrom;
    };
    // Why a step failed; `server` for a statement the server answered with an error of its own.
    struct Failure
    {
        QString text;
        QString sqlState;
        bool server = false;
    };
    enum class RunOutcome { Forwarded, Refused, Failed };

    bool openLocal(QString *error);
    bool openServer(QString *error);
    void dropServer();
    bool stopping() const { return m_stop && *m_stop; }
    // A call that waits for the server, which the socket's watchdog may cut.
    template <typename Call> auto waitFor(Call call)
    {
        m_socket.callStarted();
        auto done = call();
        m_socket.callEnded();
        return done;
    }
    // False with `failure` set when the server refuses the statement or cannot be reached; its
    // rows in `answer` when one is wanted.
    bool serverExec(const QString &sql, const PgParams &params, Failure *failure, PgResult *answer = nullptr);
    static bool failed(const PgResult &result, Failure *failure);
    bool refusesTheRun(const Failure &failure);
    bool serverProgress(const QString &uuid, Progress *progress, Failure *failure);
    static bool isWhole(const LocalRun &run, const Progress &progress);
    RunOutcome forwardRun(const LocalRun &run, Outcome *outcome, Failure *failure);
    bool sendHeader(const QString &uuid, bool withEnd, Failure *failure);
    bool sendSamples(const QString &uuid, qint64 after, qint64 *last, qint64 *count, Failure *failure);
    bool sendSteps(const QString &uuid, Failure *failure);
    // The chart history the bench kept at the run's end, when it kept one.
    bool sendChart(const QString &uuid, Failure *failure);

    QString m_sqlitePath;
    StoreServer m_server;
    QString m_localConnection;
    // The lab server's connection, through libpq itself: every value goes apart from the statement.
    PgConnection m_pg;
    // What the server is known to hold, since the connection was made.
    QHash<QString, Progress> m_known;
    QSet<QString> m_whole;
    ForwardState m_state;
    ServerSocket m_socket;
    // The local file's change counter at the last round that left nothing waiting.
    qint64 m_settledVersion = -1;
    bool m_offerRefusedNow = false;
    const std::atomic_bool *m_stop = nullptr;
};

Q_DECLARE_METATYPE(ServerMirror::Outcome)
