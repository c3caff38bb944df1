#pragma once

#include "store/ServerMirror.h"
#include "store/StationStateHolder.h"

#include <QObject>
#include <QSet>
#include <atomic>
#include <memory>
#include <mutex>

class QTimer;

// The forwarding rounds, on a thread of their own: every few seconds and when asked, each round
// brings the lab's server up to the bench's store. A round that fails makes the next one wait
// longer. Lives in the forwarding thread; the calls marked so may come from any thread.
class ForwardWorker : public QObject
{
    Q_OBJECT

public:
    static constexpr int RoundIntervalMs = 2000;
    static constexpr int LongestPauseMs = 30000;
    // A call that waits for the server this long is past every limit the server keeps (statement,
    // lock, the kernel's probes of the connection): the server or the path to it has stopped
    // answering, and only cutting the connection ends the call.
    static constexpr qint64 StuckCallMs = 30000;

    // `stationState`, when given, goes to the server at every round, whether runs go or not.
    ForwardWorker(const QString &sqlitePath, const StoreServer &server,
        std::shared_ptr<const StationStateHolder> stationState = nullptr);
    ~ForwardWorker() override;

    // The first round, and the timer for the next ones.
    void start();
    void forwardSoon();
    // A round now unless `again` is false; then "" when the server holds `uuid` whole, else why
    // it does not.
    QString answer(const QString &uuid, bool again);

    // Any thread: no round after the one going on, whose wait for the server ends at once.
    void stop();
    // Any thread: a call that has waited for the server past every limit is cut.
    void cutStuckCall();
    // Any thread.
    bool lastFailed() const { return m_lastFailed; }

Q_SIGNALS:
    // After each round that sent something, refused a run or failed.
    void roundDone(const ServerMirror::Outcome &outcome);
    // When the server cannot be reached or written (once until it can again), when it can again,
    // and when it refuses a run (once for each run and reason).
    void problem(const QString &text);
    // After answer(), with its text.
    void answered(const QString &uuid, const QString &why);

private:
    void round();
    void report(const ServerMirror::Outcome &outcome);

    StoreServer m_server;
    std::unique_ptr<ServerMirror> m_mirror;
    std::shared_ptr<const StationStateHolder> m_stationState;
    QTimer *m_timer = nullptr;
    std::atomic_bool m_stopping = false;
    std::atomic_bool m_lastFailed = false;
    int m_pauseMs = RoundIntervalMs;
    ServerMirror::Outcome m_last;
    // "uuid reason" of every refusal told already.
    QSet<QString> m_refusalsTold;
};
