#pragma once

#include "link/LinkTransport.h"

#include <QSerialPort>
#include <optional>

// RS-232 or a USB virtual serial port. The port is polled during a reply wait; nothing arrives
// through events.
class SerialTransport : public LinkTransport
{
    Q_OBJECT

public:
    static constexpr int ReplyTimeoutMs = 1000;

    SerialTransport(Clock &clock, TraceList &trace, QObject *parent = nullptr);

    // COM port number N is /dev/ttyS<N-1>; a text with "/" or starting with "tty" names the device
    // itself (USB adapters, pseudo-terminals). Nothing for a number that is not above 0.
    static std::optional<QString> deviceName(const QString &comPort);

    void open(const LinkSettings &settings) override;
    void write(const QString &command) override;
    QString query() override { return readReply(true); }
    QString read() override { return readReply(false); }

    bool isOpen() const { return m_port.isOpen(); }

private:
    bool openPort();
    bool writeLine(const QString &command);
    QString readReply(bool startWithReceived);
    void recordError(const QString &during);

    QSerialPort m_port;
    QString m_device;
};
