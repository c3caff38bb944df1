#pragma once

#include "link/Waker.h"
#include "run/LoadOff.h"
#include "run/OffConfirmer.h"

#include <QObject>

class Clock;
class RunEvents;
class TraceList;

// A load whose run ended without its off lines confirmed may still sink current: it is reached
// again and told again, with a pause that grows to a few seconds, for as long as the program runs,
// until a reading proves it off. Nothing else uses the link meanwhile: no run starts.
class OffKeeper : public QObject
{
    Q_OBJECT

public:
    static constexpr int FirstPauseMs = 500;
    static constexpr int LongestPauseMs = 4000;
    // A new connection gets this long: a Stop or a closing window waits for at most one try.
    static constexpr int ReopenLimitMs = 2000;
    // A try waits for the load's replies as long as a run does (the load's 10 s reply time-out): a
    // slow load is still proved off, where a run's end only waits briefly.
    static constexpr int ReplyLimitMs = 10000;

    OffKeeper(InstrumentLink &load, Clock &clock, TraceList &trace, RunEvents &events, QObject *parent = nullptr);

    // Starts trying for the run that ended with `off` unconfirmed: `offLines` go to the load named
    // `expectedModel`, whose reading is judged against `ratedCurrent`.
    void keepTrying(
        const LoadOff &off, const QStringList &offLines, const QString &expectedModel, const QString &ratedCurrent);
    bool isTrying() const { return m_trying; }
    const LoadOff &loadOff() const { return m_off; }
    // The pause before the next try ends now.
    void tryNow();
    // One more try at once (or the one under way), then no more; ended() follows.
    void lastTry();

Q_SIGNALS:
    // A try did not reach a load that obeys: why, and the pause before the next one.
    void tried(const QString &why, int nextInMs);
    // The load is confirmed off (loadOff() says when), or lastTry() gave up.
    void ended(bool confirmed);

private:
    QCoro::Task<> tryUntilConfirmed();
    QString why(const OffConfirmer::Outcome &outcome) const;

    InstrumentLink &m_load;
    Clock &m_clock;
    RunEvents &m_events;
    OffConfirmer m_confirmer;
    LoadOff m_off;
    // Ends the pause between two tries: "try now" and the last try.
    Waker m_wake;
    bool m_woken = false;
    bool m_last = false;
    bool m_trying = false;
};
