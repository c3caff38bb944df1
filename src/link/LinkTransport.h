#pragma once

#include "settings/LinkSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

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
    virtual void open(const LinkSettings &settings) = 0;
    // Sends one command in the transport's framing. Failures are reported, never thrown.
    virtual void write(const QString &command) = 0;
    // The reply to what was sent last, waiting for it; "ErrRec" when none usable came.
    virtual QString query() = 0;
    // The reply as a sample reads it (LAN: what has arrived, without waiting).
    virtual QString read() = 0;
    virtual void clearReply() { }

    // Text as it goes over the wire: 8-bit, one byte per character.
    static QByteArray toWire(const QString &text) { return text.toLatin1(); }
    static QString fromWire(const QByteArray &bytes) { return QString::fromLatin1(bytes); }
    // The reply without its line end: CR LF or a lone LF.
    static QByteArray withoutLineEnd(const QByteArray &line);

Q_SIGNALS:
    // One of the fixed messages for the operator ("Connect Fail!", ...); the window shows it.
    void message(const QString &text);

protected:
    Clock &m_clock;
    TraceList &m_trace;
};
