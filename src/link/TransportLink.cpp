#include "link/TransportLink.h"

#include "link/Clock.h"
#include "link/GpibLibrary.h"
#include "link/TraceList.h"
#include "run/RunState.h"

TransportLink::TransportLink(
    LinkRole role, SettingsSource settings, Clock &clock, TraceList &trace, GpibLibrary &gpib, QObject *parent)
    : QObject(parent),
      m_role(role),
      m_settings(std::move(settings)),
      m_clock(clock),
      m_trace(trace),
      m_serial(clock, trace),
      m_gpib(gpib, clock, trace),
      m_tcp(role == LinkRole::Load, clock, trace)
{
    connect(&m_serial, &LinkTransport::message, this, &TransportLink::message);
    connect(&m_gpib, &LinkTransport::message, this, &TransportLink::message);
    connect(&m_tcp, &LinkTransport::message, this, &TransportLink::message);
    connect(&m_tcp, &TcpTransport::replyArrived, this, &TransportLink::replyArrived);
}

TransportLink::TransportLink(LinkRole role, SettingsSource settings, Clock &clock, TraceList &trace, QObject *parent)
    : TransportLink(role, std::move(settings), clock, trace, GpibLibrary::instance(), parent)
{ }

LinkTransport *TransportLink::transport(int mode)
{
    switch (mode) {
    case 0:
        return &m_serial;
    case 1:
        return &m_gpib;
    case 2:
        return &m_tcp;
    default:
        return nullptr;
    }
}

void TransportLink::LinkConnect()
{
    const LinkSettings settings = m_settings();
    if (LinkTransport *link = transport(settings.ConnectMode))
        link->open(settings);
}

void TransportLink::LinkSend(const QString &command)
{
    LinkTransport *link = transport(connectMode());
    if (!link)
        return;
    link->write(command);
    m_trace.TraceLine(sendTraceLine(command, m_runState, m_clock.secondsSinceMidnight()));
}

QString TransportLink::LinkQuery()
{
    LinkTransport *link = transport(connectMode());
    if (!link)
        return QString();
    const QString reply = link->query();
    m_trace.TraceLine(reply == ErrRec ? QString() : reply);
    return reply;
}

QString TransportLink::LinkRead()
{
    LinkTransport *link = transport(connectMode());
    return link ? link->read() : QString();
}

void TransportLink::clearReply() { m_tcp.clearReply(); }

QString TransportLink::sendTraceLine(const QString &command, const RunState *state, double secondsSinceMidnight)
{
    const float seconds = float(secondsSinceMidnight);
    return QStringList{command, QString::number(state ? state->StepPointer : 0),
        state ? state->TStop.toText() : QStringLiteral("0"), QString::number(double(seconds), 'g', 7),
        state ? state->CurrentFunction : QString()}
        .join(QLatin1Char(','));
}
