#pragma once

#include "FaultSet.h"
#include "SimTypes.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

class SharedFaults;
class SimInstruments;

// One connection's conversation: cuts the received bytes into lines (LF or CR LF), hands them to
// the instruments and sends the replies back ended by CR LF (or the faults' line end), with the
// connection's faults and the load's shared ones applied. Replies keep their order whatever the faults delay.
class SimSession : public QObject
{
    Q_OBJECT

public:
    SimSession(SimInstruments &instruments, SimInstrument instrument, const FaultSet &faults,
        SharedFaults *shared = nullptr, QObject *parent = nullptr);

    void receive(const QByteArray &bytes);

Q_SIGNALS:
    void send(const QByteArray &bytes);
    // The connection is to be closed, after everything already sent.
    void dropRequested();

private:
    struct Pending
    {
        qint64 dueMs = 0;
        QByteArray bytes;
        bool drop = false;
        int outageMs = 0; // with drop: the whole load goes out of reach for this long
    };

    void handleLine(const QByteArray &line);
    void queue(Pending next);
    void flushDue();

    SimInstruments &m_instruments;
    SimInstrument m_instrument;
    FaultSet m_faults;
    SharedFaults *m_shared;
    QByteArray m_buffer;
    int m_lines = 0;
    int m_replies = 0;
    bool m_dropping = false;
    QList<Pending> m_pending;
    QTimer m_timer;
    QElapsedTimer m_clock;
};
