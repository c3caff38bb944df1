#pragma once

#include "store/ServerMirror.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

class QTimer;

// Store and forward: the bench writes its own store first, and this sends its runs on to the lab's
// server from a thread of its own, every few seconds and as soon as a run ends. A server that is
// down or a network that is gone never touches a run: forwarding pauses, longer each time it
// fails, and goes on from where the server's copy stops when the server is back.
class RunForwarder : public QObject
{
    Q_OBJECT

public:
    static constexpr int RoundIntervalMs = 2000;
    static constexpr int LongestPauseMs = 30000;

    RunForwarder(const QString &sqlitePath, const StoreServer &server, QObject *parent = nullptr);
    // Stops between two batches; what the server committed stays.
    ~RunForwarder() override;

    const StoreServer &server() const { return m_server; }
    // A round now, in the background.
    void forwardSoon();
    // A last round before the program ends, waited for when the server answered the last one. ""
    // when the server then holds the run `uuid` whole, else why it does not.
    QString finish(const QString &uuid);

Q_SIGNALS:
    // After each round that sent something or failed; on the receiver's thread.
    void roundDone(const ServerMirror::Outcome &outcome);
    // When the server cannot be reached or written (once until it can again), and when it can again.
    void problem(const QString &text);

private:
    void round();
    void report(const ServerMirror::Outcome &outcome);

    StoreServer m_server;
    QThread m_thread;
    // Lives in m_thread, with the mirror and the timer.
    QObject *m_worker = nullptr;
    std::unique_ptr<ServerMirror> m_mirror;
    QTimer *m_timer = nullptr;
    std::atomic_bool m_stopping = false;
    std::atomic_bool m_lastFailed = false;
    int m_pauseMs = RoundIntervalMs;
    ServerMirror::Outcome m_last;
};
