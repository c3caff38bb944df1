#include "store/ForwardWorker.h"

#include <QTimer>

ForwardWorker::ForwardWorker(const QString &sqlitePath, const StoreServer &server)
    : m_server(server), m_mirror(std::make_unique<ServerMirror>(sqlitePath, server))
{
    m_mirror->setStopFlag(&m_stopping);
}

ForwardWorker::~ForwardWorker() = default;

void ForwardWorker::start()
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &ForwardWorker::round);
    round();
}

void ForwardWorker::forwardSoon()
{
    if (m_timer)
        m_timer->start(0);
}

void ForwardWorker::serverAnswered()
{
    if (m_pauseMs <= RoundIntervalMs)
        return;
    m_pauseMs = RoundIntervalMs;
    if (m_timer && m_timer->isActive() && m_timer->remainingTime() > RoundIntervalMs)
        m_timer->start(RoundIntervalMs);
}

QString ForwardWorker::answer(const QString &uuid)
{
    // Whatever the last round met: the server may well be back, and this is the run's last chance
    // to go without anyone typing.
    round();
    QString why;
    if (m_mirror->holdsWhole(uuid))
        why.clear();
    else if (const QString refusal = m_mirror->refusal(uuid); !refusal.isEmpty())
        why = QStringLiteral("the server refused it: %1").arg(refusal);
    else
        why = m_last.error.isEmpty() ? QStringLiteral("not sent yet") : m_last.error;
    Q_EMIT answered(uuid, why);
    return why;
}

void ForwardWorker::stop()
{
    m_stopping = true;
    m_mirror->socket().cut(true);
}

void ForwardWorker::cutStuckCall() { m_mirror->socket().cutIfWaitingLongerThan(StuckCallMs); }

void ForwardWorker::round()
{
    if (m_stopping)
        return;
    m_last = m_mirror->forwardAll();
    report(m_last);
    // A server that fails is asked less often, up to a pause that still brings a bench's runs in
    // soon after it is back.
    m_pauseMs = m_last.error.isEmpty() ? RoundIntervalMs : std::min(m_pauseMs * 2, LongestPauseMs);
    if (m_timer && !m_stopping)
        m_timer->start(m_pauseMs);
}

void ForwardWorker::report(const ServerMirror::Outcome &outcome)
{
    const bool failed = !outcome.error.isEmpty();
    Q_EMIT tried(outcome.error);
    for (const ServerMirror::Refusal &refused : outcome.refused) {
        const QString told = refused.uuid + u' ' + refused.reason;
        if (m_refusalsTold.contains(told))
            continue;
        m_refusalsTold.insert(told);
        Q_EMIT problem(QStringLiteral("The lab server %1 refused run %2: %3. The run is kept on this bench and "
                                      "offered again from %4; the other runs go on.")
                           .arg(m_server.describe(), refused.uuid, refused.reason,
                               refused.nextTry.toLocalTime().toString(QStringLiteral("HH:mm:ss"))));
    }
    if (failed || outcome.samplesSent > 0 || outcome.runsCompleted > 0 || !outcome.refused.isEmpty())
        Q_EMIT roundDone(outcome);
}
