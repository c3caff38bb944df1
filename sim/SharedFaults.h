#pragma once

#include "FaultSet.h"

#include <QList>
#include <QObject>
#include <QTimer>

// The load's own faults, shared by all its connections: replies to the outage and unusable lines
// are counted over the simulator's whole life, whatever connection or transport they go out on.
// An outage takes every transport of the load down at once, as a load that restarts is out of
// reach on all its links. Each transport joins once, answers goDown() with transportDown() once
// its connections are closed and nobody can connect, and comeUp() with transportUp() once it
// listens again. The outage lasts its time from when the last transport is down.
class SharedFaults : public QObject
{
    Q_OBJECT

public:
    // What a reply about to be sent brings.
    struct Verdict
    {
        bool unusable = false;
        int outageMs = 0; // the load goes out of reach once the reply is sent
    };

    explicit SharedFaults(const FaultSet &faults, QObject *parent = nullptr);

    // Counts one reply to `line`, or its receipt when it has none.
    Verdict countReply(const QByteArray &line);
    // Starts an outage from the event loop, so that a session may ask for it while it sends. One
    // asked for while another is under way follows it.
    void requestOutage(int ms);

    void join() { ++m_transports; }
    void transportDown();
    void transportUp();

Q_SIGNALS:
    void goDown();
    void comeUp();
    void outageBegan(int ms);
    void outageEnded();

private:
    void beginOutage();
    void endOutage();

    FaultSet m_faults;
    int m_outageReplies = 0;
    int m_unusableReplies = 0;
    qsizetype m_nextOutage = 0;
    int m_transports = 0;
    int m_down = 0;
    int m_up = 0;
    QList<int> m_outagesMs; // asked for and not ended; the first is under way
    QTimer m_timer;
};
