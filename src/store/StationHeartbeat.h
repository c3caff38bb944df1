#pragma once

#include "store/ServerMirror.h"
#include "store/StationStateHolder.h"

#include <QObject>
#include <atomic>
#include <memory>

class KeptStationState;
class QTimer;

// The station's state sent to the lab's server every 2 s, on a connection and a thread of its own:
// a backlog of samples, a lock on the run tables or a run round that fails never holds it back,
// so a station whose state reaches the server never reads silent. A beat that fails is tried again
// at the next one; the cadence never stretches. A finished state is kept on the bench before it is
// sent, and marked sent once the server has it. Lives in its thread; the calls marked so may come
// from any thread.
class StationHeartbeat : public QObject
{
    Q_OBJECT

public:
    static constexpr int BeatIntervalMs = 2000;

    StationHeartbeat(const QString &sqlitePath, const StoreServer &server, std::shared_ptr<StationStateHolder> state,
        std::shared_ptr<KeptStationState> kept);
    ~StationHeartbeat() override;

    // The state a process before this one kept, unless this one has run since; the first beat;
    // the timer for the next ones.
    void start();
    // A beat now: the state changed.
    void beatSoon();
    // Any thread: no beat after the one going on, whose wait for the server ends at once.
    void stop();
    // Any thread: a call that has waited for the server past every limit is cut.
    void cutStuckCall(qint64 limitMs);

Q_SIGNALS:
    // After each beat: "" when the server took the state, else why not; `finished` when the
    // state sent was a finished run's.
    void beaten(const QString &error, bool finished);

private:
    void beat();

    std::unique_ptr<ServerMirror> m_mirror;
    std::shared_ptr<StationStateHolder> m_state;
    std::shared_ptr<KeptStationState> m_kept;
    QTimer *m_timer = nullptr;
    std::atomic_bool m_stopping = false;
};
