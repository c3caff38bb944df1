#pragma once

#include "FaultSet.h"
#include "SimTypes.h"

#include <QObject>

class QTcpServer;
class SharedFaults;
class SimInstruments;

// One instrument on a loopback TCP port. Clients may come and go, one after another or at once;
// each gets its own conversation (and its own fault counts). In an outage of the load every client
// is let go and connecting is refused, until the listener listens again on the same port.
class SimTcpListener : public QObject
{
    Q_OBJECT

public:
    SimTcpListener(SimInstruments &instruments, SimInstrument instrument, const FaultSet &faults,
        SharedFaults *shared = nullptr, QObject *parent = nullptr);

    // Port 0 takes a free port.
    bool listen(quint16 port, QString *error);
    quint16 port() const { return m_port; }

private:
    void accept();
    void goDown();
    void comeUp();

    SimInstruments &m_instruments;
    SimInstrument m_instrument;
    FaultSet m_faults;
    SharedFaults *m_shared;
    QTcpServer *m_server;
    quint16 m_port = 0;
    bool m_warned = false;
    static constexpr int relistenRetryMs = 100;
};
