#pragma once

#include "link/LinkSettings.h"
#include "link/Waker.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <algorithm>

class CancelToken;
class Clock;
class TraceList;

// One way of reaching an instrument (serial, GPIB or LAN). A link owns one of each and uses the one
// its settings choose at the moment of each call, so a transport keeps its port, socket or handle
// while another is in use.
class LinkTransport : public QObject
{
    Q_OBJECT

public:
    LinkTransport(Clock &clock, TraceList &trace, QObject *parent = nullptr);

    // Connects with these settings; serial and LAN follow a connect with "REM".
    virtual QCoro::Task<> open(const LinkSettings &settings) = 0;
    // Sends one command in the transport's framing. Failures are reported, never thrown.
    virtual QCoro::Task<> write(const QString &command) = 0;
    // The reply to what was sent last, waiting for it; "ErrRec" when none usable came.
    virtual QCoro::Task<QString> query() = 0;
    // The reply as a sample reads it (LAN: what has arrived, without waiting).
    virtual QCoro::Task<QString> read() = 0;
    virtual void clearReply() { }

    // The waits of this transport end at once when this token fires.
    void setCancelToken(const CancelToken *cancel) { m_cancel = cancel; }
    // No reply wait and no connect lasts longer than this; 0 gives the transport's own time-outs.
    void setWaitLimit(int ms) { m_waitLimitMs = ms; }

    // Text as it goes over the wire: 8-bit, one byte per character.
    static QByteArray toWire(const QString &text) { return text.toLatin1(); }
    static QString fromWire(const QByteArray &bytes) { return QString::fromLatin1(bytes); }

Q_SIGNALS:
    // One of the fixed messages for the operator ("Connect Fail!", ...); the window shows it.
    void message(const QString &text);

protected:
    // A time-out of the transport, shortened to the wait limit.
    int limited(int ms) const { return m_waitLimitMs > 0 ? std::min(ms, m_waitLimitMs) : ms; }
    // Whether a wait begun at `startTick` has outlasted the wait limit.
    bool pastWaitLimit(qint64 startTick) const;
    // Says in the trace that a reply ran past `bytes` and was dropped.
    void traceCutLine(qsizetype bytes);

    Clock &m_clock;
    TraceList &m_trace;
    const CancelToken *m_cancel = nullptr;
    int m_waitLimitMs = 0;
    // Fired whenever what a reply wait waits for may have changed.
    Waker m_arrived;
};
