#pragma once

#include "store/ServerMirror.h"
#include "store/StationStateHolder.h"

#include <QObject>
#include <QTimer>
#include <memory>

class ForwardWorker;
class KeptStationState;
class QEventLoop;
class QThread;
class StationHeartbeat;

// Store and forward: the bench writes its own store first, and this sends its runs on to the lab's
// server from a thread of its own, every few seconds and as soon as a run ends. A server that is
// down, a network that is gone or a server that stops answering never touches a run nor holds the
// program: forwarding pauses, longer each time it fails, until the server answers again, and goes
// on from where the server's copy stops. The station's state goes on its own thread and
// connection every 2 s (StationHeartbeat), so that run forwarding never makes it late.
class RunForwarder : public QObject
{
    Q_OBJECT

public:
    // How long finish() waits for its round: the runner ends within a few seconds of its run
    // whatever the server does.
    static constexpr int FinishWaitMs = 3000;
    // How long the destructor waits for the forwarding threads once their server calls are cut.
    static constexpr int StopWaitMs = 1500;

    // `station` names this bench in the state its heartbeat sends to the lab.
    RunForwarder(
        const QString &sqlitePath, const StoreServer &server, const QString &station, QObject *parent = nullptr);
    // Stops between two batches, or cuts the call that waits for the server; what the server
    // committed stays.
    ~RunForwarder() override;

    const StoreServer &server() const { return m_server; }
    // What the heartbeat tells the server of the station; any thread may write it.
    StationStateHolder &stationState() { return *m_stationState; }
    // A round of the runs now, in the background.
    void forwardSoon();
    // The station's state now, in the background: it changed.
    void sendStateSoon();
    // A last round of the runs and of the station's state before the program ends, whatever the
    // rounds before met, waited for up to FinishWaitMs; the finished state is kept on the bench
    // first, for the next forwarder when it does not go. "" when the server then holds the run
    // `uuid` whole, else why it does not, as this last try found it.
    QString finish(const QString &uuid);
    // Ends a wait in finish() at once (the program was told to end): the run waits in the store.
    void abandonWait();

Q_SIGNALS:
    // After each round that sent something, refused a run or failed; on the receiver's thread.
    void roundDone(const ServerMirror::Outcome &outcome);
    // When the server cannot be reached or written (once until it can again, with the reason of
    // the try that failed), when it can again, and when it refuses a run.
    void problem(const QString &text);

private:
    // The last try of the runs or of the state; "" when it went.
    void tried(bool runs, const QString &error);
    bool failing() const { return !m_runsError.isEmpty() || !m_stateError.isEmpty(); }

    StoreServer m_server;
    std::shared_ptr<StationStateHolder> m_stationState;
    std::shared_ptr<KeptStationState> m_kept;
    // Each left to end on its own when its call cannot be cut (see the destructor).
    QThread *m_thread = nullptr;
    QThread *m_heartbeatThread = nullptr;
    // Live in m_thread and m_heartbeatThread.
    ForwardWorker *m_worker = nullptr;
    StationHeartbeat *m_heartbeat = nullptr;
    QTimer m_watchdog;
    QEventLoop *m_waiting = nullptr;
    QString m_runsError, m_stateError;
};
