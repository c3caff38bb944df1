#include "store/StationHeartbeat.h"

#include "store/KeptStationState.h"

#include <QTimer>

StationHeartbeat::StationHeartbeat(const QString &sqlitePath, const StoreServer &server,
    std::shared_ptr<StationStateHolder> state, std::shared_ptr<KeptStationState> kept)
    : m_mirror(std::make_unique<ServerMirror>(sqlitePath, server)), m_state(std::move(state)), m_kept(std::move(kept))
{
    m_mirror->setStopFlag(&m_stopping);
}

StationHeartbeat::~StationHeartbeat() = default;

void StationHeartbeat::start()
{
    if (const std::optional<StationState> kept = m_kept->read())
        m_state->restoreFinished(*kept);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &StationHeartbeat::beat);
    beat();
}

void StationHeartbeat::beatSoon()
{
    if (m_timer)
        m_timer->start(0);
}

void StationHeartbeat::stop()
{
    m_stopping = true;
    m_mirror->socket().cut(true);
}

void StationHeartbeat::cutStuckCall(qint64 limitMs) { m_mirror->socket().cutIfWaitingLongerThan(limitMs); }

void StationHeartbeat::beat()
{
    if (m_stopping)
        return;
    const StationStateHolder::Snapshot snapshot = m_state->snapshot();
    const bool finished = snapshot.state.activity == StationState::Activity::Finished;
    // Kept before it is sent: a send that hangs until the program is ended leaves it on the bench.
    m_kept->keep(snapshot.state);
    QString error;
    if (m_mirror->sendStationState(snapshot, &error) && finished)
        m_kept->markSent(snapshot.state);
    Q_EMIT beaten(error, finished);
    if (m_timer && !m_stopping)
        m_timer->start(BeatIntervalMs);
}
