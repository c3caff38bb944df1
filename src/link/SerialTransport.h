#pragma once

#include "link/LineFraming.h"
#include "link/LinkTransport.h"

#include <QSerialPort>
#include <optional>

// RS-232 or a USB virtual serial port. A reply wait sleeps until bytes arrive, an error comes or
// the time-out passes.
class SerialTransport : public LinkTransport
{
    Q_OBJECT

public:
    static constexpr int ReplyTimeoutMs = 1000;
    // What the port holds unread: a device that floods the line is read a little at a time.
    static constexpr qint64 ReadBufferBytes = 16 * 1024;

    SerialTransport(Clock &clock, TraceList &trace, QObject *parent = nullptr);
    ~SerialTransport() override;

    // COM port number N is /dev/ttyS<N-1>; a text with "/" or starting with "tty" names the device
    // itself (USB adapters, pseudo-terminals). Nothing for a number that is not above 0.
    static std::optional<QString> deviceName(const QString &comPort);

    QCoro::Task<> open(const LinkSettings &settings) override;
    QCoro::Task<> write(const QString &command) override;
    QCoro::Task<QString> query() override { return readReply(true); }
    QCoro::Task<QString> read() override { return readReply(false); }

    // Open, and the device still there: an adapter pulled out, or a terminal whose other end
    // closed, hangs up, and a line written to it would be lost without a word.
    bool isOpen() const;

private:
    bool openPort();
    bool addSoftwareFlowControl(int handShake);
    bool writeLine(const QString &command);
    QCoro::Task<QString> readReply(bool startWithReceived);
    void recordError(const QString &during);

    QSerialPort m_port;
    QString m_device;
    // Lines as they come down the wire, across reads: a line cut short by a time-out, or cut for
    // its length, is not taken up again as the reply to the next question.
    LineFraming m_framing;
};
