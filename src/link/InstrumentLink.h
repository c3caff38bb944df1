#pragma once

#include "link/Waker.h"

#include <QCoro/QCoroTask>
#include <QString>

class CancelToken;

// The narrow interface through which the engine talks to an instrument. The load link and the
// generator link implement it over serial, GPIB or LAN; unit tests use a scripted fake.
// The generator's operations are these on the generator link: GenConnect is
// LinkConnect, GenSend is LinkSend, GenQuery is LinkQuery.
//
// No operation fails towards its caller: a missing reply is "ErrRec", a closed port gives "".
// Every operation is awaited; the waits inside end at once when the link's cancel token fires.
class InstrumentLink
{
public:
    virtual ~InstrumentLink() = default;

    // Opens the transport chosen by the link's settings; "REM" follows on serial and LAN.
    virtual QCoro::Task<> LinkConnect() = 0;
    // Sends one command line and traces it.
    virtual QCoro::Task<> LinkSend(const QString &command) = 0;
    // Waits for the reply to what was sent last; traces it.
    virtual QCoro::Task<QString> LinkQuery() = 0;
    // Reads a reply without the query's trace line (LAN: whatever arrived, without waiting).
    virtual QCoro::Task<QString> LinkRead() = 0;
    // ReplyBuffer <- "": callers clear it before each query.
    virtual void clearReply() = 0;
    // The transport in use: 0 serial, 1 GPIB, 2 LAN.
    virtual int connectMode() const = 0;
    // The token whose cancelling ends the link's waits; none: they run their course.
    virtual void setCancelToken(const CancelToken *cancel) = 0;
    // Whether the transport in use holds an open connection (port, socket, device handle).
    virtual bool isConnected() const = 0;
    // Lets the connection go and connects again: a new socket, the port closed and opened, a new
    // device handle. A load that stopped answering may answer on a fresh connection.
    virtual QCoro::Task<> LinkReopen() { return LinkConnect(); }
    // No single reply wait or connect lasts longer than this; 0 gives the links' own time-outs (the load's 10 s reply
    // time-out).
    virtual void setWaitLimit(int ms) { Q_UNUSED(ms) }
    // While held, the operator's messages go to the trace only: a link reopened again and again
    // would otherwise say the same failure each time.
    virtual void holdMessages(bool hold) { Q_UNUSED(hold) }
    // The caller found the last reply unusable (no number where one was due): to the run, a load
    // that answers only that is as good as silent.
    virtual void replyUnusable() { }
    // Where the link reaches its instrument, for the operator: "192.168.16.128:4001",
    // "/dev/ttyUSB0", "GPIB address 5".
    virtual QString address() const { return QString(); }

    // Clears the reply, sends the query and waits for its reply. One exchange at a time: a query
    // made while another waits for its reply goes out once that one has its answer.
    QCoro::Task<QString> ask(const QString &query);

private:
    bool m_asking = false;
    Waker m_turn;
};

// The text every read returns when no usable reply came.
inline const QString ErrRec = QStringLiteral("ErrRec");
