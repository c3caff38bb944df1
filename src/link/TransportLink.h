#pragma once

#include "link/GpibTransport.h"
#include "link/InstrumentLink.h"
#include "link/LinkSettings.h"
#include "link/SerialTransport.h"
#include "link/TcpTransport.h"
#include "link/TraceFields.h"

#include <QObject>
#include <array>
#include <functional>
#include <optional>

class Clock;
class GpibLibrary;
class TraceList;

// Which instrument a link reaches. The generator's link is the load's with one difference: on LAN
// it has no reception, so its query answers "" at once.
enum class LinkRole { Load, Generator };

// The link to one instrument over the transport its settings choose. The settings are read at each
// call, so the connection dialog's choice holds from the next connect on. No operation throws or
// fails towards its caller; the operator hears of failures through message().
class TransportLink : public QObject, public InstrumentLink
{
    Q_OBJECT

public:
    using SettingsSource = std::function<LinkSettings()>;

    TransportLink(LinkRole role, SettingsSource settings, Clock &clock, TraceList &trace, GpibLibrary &gpib,
        QObject *parent = nullptr);
    TransportLink(LinkRole role, SettingsSource settings, Clock &clock, TraceList &trace, QObject *parent = nullptr);

    // Where the LinkSend trace line takes the step pointer, step time left and function from; none
    // traces 0, 0 and "".
    void setTraceFields(std::function<TraceFields()> fields) { m_traceFields = std::move(fields); }

    QCoro::Task<> LinkConnect() override;
    QCoro::Task<> LinkReopen() override;
    void setWaitLimit(int ms) override;
    void holdMessages(bool hold) override { m_messagesHeld = hold; }
    QCoro::Task<> LinkSend(const QString &command) override;
    QCoro::Task<QString> LinkQuery() override;
    QCoro::Task<QString> LinkRead() override;
    void clearReply() override;
    int connectMode() const override { return m_settings().ConnectMode; }
    void setCancelToken(const CancelToken *cancel) override;
    bool isConnected() const override;

    // The last complete LAN reply, as the sample over LAN reads it.
    QString ReplyBuffer() const { return m_tcp.replyBuffer(); }
    LinkRole role() const { return m_role; }
    QString address() const override;

    // How long a question whose wait was cut short may still be answered.
    static constexpr int OwedReplyMs = 10000;

    // The LinkSend trace line: command, step pointer, step time left, seconds since midnight (single
    // precision), function.
    static QString sendTraceLine(const QString &command, const TraceFields &fields, double secondsSinceMidnight);

Q_SIGNALS:
    // A fixed message for the operator: "Please check COM Port is correct?", "Connect Fail!",
    // "Lost Connect!", or that the GPIB library is missing.
    void message(const QString &text);
    // A LAN reply has arrived in ReplyBuffer.
    void replyArrived();

private:
    LinkTransport *transport(int mode);
    void noteReply(const QString &reply);
    QCoro::Task<> dropLateReply();
    std::array<LinkTransport *, 3> transports();
    void passOn(const QString &text);

    LinkRole m_role;
    SettingsSource m_settings;
    Clock &m_clock;
    TraceList &m_trace;
    std::function<TraceFields()> m_traceFields;
    SerialTransport m_serial;
    GpibTransport m_gpib;
    TcpTransport m_tcp;
    bool m_messagesHeld = false;
    const CancelToken *m_cancel = nullptr;
    // The tick of the last question while its reply is owed: from its sending until it is read,
    // or waited for in full.
    std::optional<qint64> m_replyOwedSince;
};
