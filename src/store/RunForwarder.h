#pragma once

#include "store/ServerMirror.h"
#include "store/StationStateHolder.h"

#include <QObject>
#include <QTimer>
#include <memory>

class ForwardWorker;
class QEventLoop;
class QThread;

// Store and forward: the bench writes its own store first, and this sends its runs on to the lab's
// server from a thread of its own, every few seconds and as soon as a run ends. A server that is
// down, a network that is gone or a server that stops answering never touches a run nor holds the
// program: forwarding pauses, longer each time it fails, and goes on from where the server's copy
// stops when the server is back.
class RunForwarder : public QObject
{
    Q_OBJECT

public:
    // How long finish() waits for its round: the runner ends within a few seconds of its run
    // whatever the server does.
    static constexpr int FinishWaitMs = 3000;
    // How long the destructor waits for the forwarding thread once its server call is cut.
    static constexpr int StopWaitMs = 1500;

    // `station` names this bench in the state every round sends, its heartbeat to the lab.
    RunForwarder(
        const QString &sqlitePath, const StoreServer &server, const QString &station, QObject *parent = nullptr);
    // Stops between two batches, or cuts the call that waits for the server; what the server
    // committed stays.
    ~RunForwarder() override;

    const StoreServer &server() const { return m_server; }
    // What each round tells the server of the station; any thread may write it.
    StationStateHolder &stationState() { return *m_stationState; }
    // A round now, in the background.
    void forwardSoon();
    // A last round before the program ends, waited for up to FinishWaitMs when the server answered
    // the last one. "" when the server then holds the run `uuid` whole, else why it does not.
    QString finish(const QString &uuid);
    // Ends a wait in finish() at once (the program was told to end): the run waits in the store.
    void abandonWait();

Q_SIGNALS:
    // After each round that sent something, refused a run or failed; on the receiver's thread.
    void roundDone(const ServerMirror::Outcome &outcome);
    // When the server cannot be reached or written (once until it can again), when it can again,
    // and when it refuses a run.
    void problem(const QString &text);

private:
    StoreServer m_server;
    std::shared_ptr<StationStateHolder> m_stationState;
    // Left to end on its own when its call cannot be cut (see the destructor).
    QThread *m_thread = nullptr;
    // Lives in m_thread.
    ForwardWorker *m_worker = nullptr;
    QTimer m_watchdog;
    QEventLoop *m_waiting = nullptr;
};
