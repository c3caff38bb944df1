#pragma once

#include "LinePeer.h"

#include <QTcpServer>
#include <QTcpSocket>

// A line-based instrument on a free loopback port; the newest connection is the one served.
class TcpPeer : public LinePeer
{
    Q_OBJECT

public:
    explicit TcpPeer(QObject *parent = nullptr);

    quint16 port() const { return m_server.serverPort(); }
    int connections() const { return m_connections; }
    // Closes the connection from the instrument's side.
    void dropConnection();
    // Writes straight to the kernel and returns once the program's socket holds the bytes, before
    // any event of the program runs.
    void pushNow(const QByteArray &bytes);

protected:
    void send(const QByteArray &bytes) override;

private:
    QTcpServer m_server;
    QTcpSocket *m_socket = nullptr;
    int m_connections = 0;
};
