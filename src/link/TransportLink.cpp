#include "link/TransportLink.h"

#include "link/Clock.h"
#include "link/GpibLibrary.h"
#include "link/TraceList.h"

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

void TransportLink::setCancelToken(const CancelToken *cancel)
{
    for (LinkTransport *link : {static_cast<LinkTransport *>(&m_serial), static_cast<LinkTransport *>(&m_gpib),
             static_cast<LinkTransport *>(&m_tcp)})
        link->setCancelToken(cancel);
}

bool TransportLink::isConnected() const
{
    switch (connectMode()) {
    case 0:
        return m_serial.isOpen();
    case 1:
        return m_gpib.handle() > 0;
    case 2:
        return m_tcp.isConnected();
    default:
        return false;
    }
}

QCoro::Task<> TransportLink::LinkConnect()
{
    const LinkSettings settings = m_settings();
    if (LinkTransport *link = transport(settings.ConnectMode))
        co_await link->open(settings);
}

QCoro::Task<> TransportLink::LinkSend(const QString &command)
{
    LinkTransport *link = transport(connectMode());
    if (!link)
        co_return;
    co_await link->write(command);
    m_trace.TraceLine(
        sendTraceLine(command, m_traceFields ? m_traceFields() : TraceFields(), m_clock.secondsSinceMidnight()));
}

QCoro::Task<QString> TransportLink::LinkQuery()
{
    LinkTransport *link = transport(connectMode());
    if (!link) {
        m_trace.TraceLine(QString());
        co_return QString();
    }
    const QString reply = co_await link->query();
    m_trace.TraceLine(reply == ErrRec ? QString() : reply);
    co_return reply;
}

QCoro::Task<QString> TransportLink::LinkRead()
{
    LinkTransport *link = transport(connectMode());
    if (!link)
        co_return QString();
    const QString reply = co_await link->read();
    co_return reply;
}

void TransportLink::clearReply() { m_tcp.clearReply(); }

QString TransportLink::sendTraceLine(const QString &command, const TraceFields &fields, double secondsSinceMidnight)
{
    const float seconds = float(secondsSinceMidnight);
    return QStringList{command, QString::number(fields.step), fields.timeLeft, QString::number(double(seconds), 'g', 7),
        fields.function}
        .join(QLatin1Char(','));
}
