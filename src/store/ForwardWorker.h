#pragma once

#include "store/ServerMirror.h"

#include <QObject>
#include <QSet>
#include <atomic>
#include <memory>

class QTimer;

// The forwarding rounds, on a thread of their own: every few seconds and when asked, each round
// brings the lab's server up to the bench's store. A round that fails makes the next one wait
// longer, until the server answers anything again. Lives in the forwarding thread; the calls
// marked so may come from any thread.
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

    ForwardWorker(const QString &sqlitePath, const StoreServer &server);
    ~ForwardWorker() override;

    // The first round, and the timer for the next ones.
    void start();
    void forwardSoon();
    // The server answered another call (the station's state went): the pause that grew while it
    // failed is over, and the next round comes at the usual interval.
    void serverAnswered();
    // A round now; then "" when the server holds `uuid` whole, else why it does not, as that
    // round found it.
    QString answer(const QString &uuid);

    // Any thread: no round after the one going on, whose wait for the server ends at once.
    void stop();
    // Any thread: a call that has waited for the server past every limit is cut.
    void cutStuckCall();

Q_SIGNALS:
    // After each round that sent something, refused a run or failed.
    void roundDone(const ServerMirror::Outcome &outcome);
    // After every round: "" when it went or had nothing to send, else why it stopped short.
    void tried(const QString &error);
    // When the server refuses a run (once for each run and reason).
    void problem(const QString &text);
    // After answer(), with its text.
    void answered(const QString &uuid, const QString &why);

private:
    void round();
    void report(const ServerMirror::Outcome &outcome);

    StoreServer m_server;
    std::unique_ptr<ServerMirror> m_mirror;
    QTimer *m_timer = nullptr;
    std::atomic_bool m_stopping = false;
    int m_pauseMs = RoundIntervalMs;
    ServerMirror::Outcome m_last;
    // "uuid reason" of every refusal told already.
    QSet<QString> m_refusalsTold;
};
