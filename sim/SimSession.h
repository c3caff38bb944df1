#pragma once

#include "FaultSet.h"
#include "SimTypes.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

class SimInstruments;

// One connection's conversation: cuts the received bytes into lines (LF or CR LF), hands them to
// the instruments and sends the replies back ended by CR LF, with the connection's faults applied.
// Replies keep their order whatever the faults delay.
class SimSession : public QObject
{
    Q_OBJECT

public:
    SimSession(
        SimInstruments &instruments, SimInstrument instrument, const FaultSet &faults, QObject *parent = nullptr);

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
    };

    void handleLine(const QByteArray &line);
    void queue(qint64 dueMs, const QByteArray &bytes, bool drop);
    void flushDue();

    SimInstruments &m_instruments;
    SimInstrument m_instrument;
    FaultSet m_faults;
    QByteArray m_buffer;
    int m_lines = 0;
    int m_replies = 0;
    bool m_dropping = false;
    QList<Pending> m_pending;
    QTimer m_timer;
    QElapsedTimer m_clock;
};
