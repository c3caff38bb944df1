#include "link/TransportLink.h"

#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/GpibLibrary.h"
#include "link/TraceList.h"

#include <QStringBuilder>

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
    for (LinkTransport *link : transports())
        connect(link, &LinkTransport::message, this, &TransportLink::passOn);
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

void TransportLink::passOn(const QString &text)
{
    if (m_messagesHeld)
        m_trace.TraceLine(text);
    else
        Q_EMIT message(text);
}

std::array<LinkTransport *, 3> TransportLink::transports() { return {&m_serial, &m_gpib, &m_tcp}; }

void TransportLink::setCancelToken(const CancelToken *cancel)
{
    m_cancel = cancel;
    for (LinkTransport *link : transports())
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

QCoro::Task<> TransportLink::LinkReopen()
{
    // Serial and GPIB connects open afresh anyway; a standing TCP connection would be kept.
    if (connectMode() == 2) {
        m_tcp.close();
        // A reply still owed went with the old connection.
        m_replyOwedSince.reset();
    }
    co_await LinkConnect();
}

void TransportLink::setWaitLimit(int ms)
{
    for (LinkTransport *link : transports())
        link->setWaitLimit(ms);
}

QCoro::Task<> TransportLink::LinkSend(const QString &command)
{
    LinkTransport *link = transport(connectMode());
    if (!link)
        co_return;
    if (command.endsWith(u'?')) {
        if (m_replyOwedSince && connectMode() == 0)
            co_await dropLateReply();
        m_replyOwedSince = m_clock.tickMs();
    }
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
    noteReply(reply);
    co_return reply;
}

QCoro::Task<QString> TransportLink::LinkRead()
{
    LinkTransport *link = transport(connectMode());
    if (!link)
        co_return QString();
    const QString reply = co_await link->read();
    noteReply(reply);
    co_return reply;
}

void TransportLink::noteReply(const QString &reply)
{
    // A reply waited out in full is given up; only one whose wait was cut short stays owed.
    if (!(m_cancel && m_cancel->isCancelled()) || (!reply.isEmpty() && reply != ErrRec))
        m_replyOwedSince.reset();
}

QCoro::Task<> TransportLink::dropLateReply()
{
    // A serial line keeps no connections apart: the reply to a question whose wait was cut short
    // comes down the same wire, and would be read as the answer to the next question. It is
    // waited for as long as the load may take to answer, and dropped.
    const qint64 until = *std::exchange(m_replyOwedSince, std::nullopt) + OwedReplyMs;
    while (m_clock.tickMs() < until && !(m_cancel && m_cancel->isCancelled())) {
        const QString late = co_await m_serial.query();
        if (late.isEmpty())
            break;
        if (late != ErrRec) {
            m_trace.TraceLine(QStringLiteral("A reply that came after its wait was given up is dropped: ") + late);
            break;
        }
    }
}

QString TransportLink::address() const
{
    const LinkSettings settings = m_settings();
    switch (settings.ConnectMode) {
    case 0:
        return SerialTransport::deviceName(settings.COMPort).value_or(QStringLiteral("no serial port"));
    case 1:
        // Most benches have one board, 0: only another is named.
        return settings.BoardNo == 0
            ? QStringLiteral("GPIB address %1").arg(settings.Address)
            : QStringLiteral("GPIB board %1 address %2").arg(settings.BoardNo).arg(settings.Address);
    case 2:
        return QStringLiteral("%1:%2").arg(TcpTransport::hostText(settings)).arg(settings.LanPort);
    default:
        return QStringLiteral("no transport");
    }
}

void TransportLink::clearReply() { m_tcp.clearReply(); }

QString TransportLink::sendTraceLine(const QString &command, const TraceFields &fields, double secondsSinceMidnight)
{
    const float seconds = float(secondsSinceMidnight);
    return command % u',' % QString::number(fields.step) % u',' % fields.timeLeft % u','
        % QString::number(double(seconds), 'g', 7) % u',' % fields.function;
}
