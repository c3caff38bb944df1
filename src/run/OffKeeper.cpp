#include "run/OffKeeper.h"

#include "link/Clock.h"
#include "link/InstrumentLink.h"
#include "link/TraceList.h"
#include "model/NumberText.h"
#include "run/RunEvents.h"

using Kind = OffConfirmer::Outcome::Kind;

OffKeeper::OffKeeper(InstrumentLink &load, Clock &clock, TraceList &trace, RunEvents &events, QObject *parent)
    : QObject(parent), m_load(load), m_clock(clock), m_events(events), m_confirmer(load, clock, trace)
{
    m_confirmer.setReplyLimitMs(ReplyLimitMs);
}

void OffKeeper::keepTrying(
    const LoadOff &off, const QStringList &offLines, const QString &expectedModel, const QString &ratedCurrent)
{
    if (m_trying)
        return;
    m_off = off;
    m_confirmer.setOffLines(offLines);
    m_confirmer.setExpectedModel(expectedModel);
    m_confirmer.setRatedCurrent(ratedCurrent);
    m_trying = true;
    m_last = false;
    m_woken = false;
    tryUntilConfirmed();
}

void OffKeeper::tryNow()
{
    m_woken = true;
    m_wake.wake();
}

void OffKeeper::lastTry()
{
    if (!m_trying)
        return;
    m_last = true;
    tryNow();
}

QCoro::Task<> OffKeeper::tryUntilConfirmed()
{
    int pauseMs = FirstPauseMs;
    for (;;) {
        if (!m_woken)
            co_await m_clock.waitUntil(
                pauseMs, [this] { return m_woken; }, &m_wake);
        m_woken = false;
        // Each try's failure is said once, in tried(), not by the link at every reopen.
        m_load.holdMessages(true);
        const OffConfirmer::Outcome outcome = co_await m_confirmer.reopenAndConfirm(ReopenLimitMs);
        m_load.holdMessages(false);
        if (outcome.kind == Kind::Confirmed) {
            m_off.state = LoadOff::State::Confirmed;
            m_off.confirmedAt = m_clock.now();
            m_off.amps = outcome.amps;
            break;
        }
        if (m_last)
            break;
        pauseMs = std::min(pauseMs * 2, LongestPauseMs);
        Q_EMIT tried(why(outcome), pauseMs);
    }
    m_trying = false;
    const bool confirmed = m_off.state == LoadOff::State::Confirmed;
    if (confirmed)
        Q_EMIT m_events.loadOffChanged(m_off);
    Q_EMIT ended(confirmed);
}

QString OffKeeper::why(const OffConfirmer::Outcome &outcome) const
{
    switch (outcome.kind) {
    case Kind::Confirmed:
        break;
    case Kind::Unanswered:
        return m_load.isConnected() ? QStringLiteral("the load at %1 does not answer").arg(m_off.address)
                                    : QStringLiteral("the load at %1 cannot be reached").arg(m_off.address);
    case Kind::Foreign:
        return QStringLiteral("another instrument answers at %1 (\"%2\"): it is sent nothing")
            .arg(m_off.address, outcome.model);
    case Kind::StillOn:
        return QStringLiteral("the load at %1 still reads %2 A after its off lines")
            .arg(m_off.address, NumberText::shortest(outcome.amps));
    }
    return QString();
}
