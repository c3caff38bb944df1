#pragma once

#include "FaultSet.h"
#include "SimTypes.h"

#include <QObject>

class QTcpServer;
class SimInstruments;

// One instrument on a loopback TCP port. Clients may come and go, one after another or at once;
// each gets its own conversation (and its own fault counts).
class SimTcpListener : public QObject
{
    Q_OBJECT

public:
    SimTcpListener(
        SimInstruments &instruments, SimInstrument instrument, const FaultSet &faults, QObject *parent = nullptr);

    // Port 0 takes a free port.
    bool listen(quint16 port, QString *error);
    quint16 port() const;

private:
    void accept();

    SimInstruments &m_instruments;
    SimInstrument m_instrument;
    FaultSet m_faults;
    QTcpServer *m_server;
};
