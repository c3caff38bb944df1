#pragma once

#include <QString>
#include <QtGlobal>

// The transport of one instrument link as plain values: the settings file stores them, the
// transports take them.
struct LinkSettings
{
    // 0 RS-232/USB, 1 GPIB, 2 LAN; any other value makes every link operation a no-op.
    qint16 ConnectMode = 0;
    // A port number ("1" is /dev/ttyS0) or a device path such as /dev/ttyUSB0.
    QString COMPort = QStringLiteral("1");
    qint32 BaudRate = 115200;
    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 RTS/CTS and XON/XOFF.
    qint16 HandShake = 2;
    qint16 BoardNo = 0;
    qint16 Address = 5;
    qint16 LanIP1 = 192;
    qint16 LanIP2 = 168;
    qint16 LanIP3 = 16;
    qint16 LanIP4 = 128;
    // A TCP port goes up to 65535, so it is held wider than the other fields.
    qint32 LanPort = 4001;

    bool operator==(const LinkSettings &) const = default;
};
