#include "TcpPeer.h"

TcpPeer::TcpPeer(QObject *parent) : LinePeer(parent)
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            m_socket = socket;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { feed(socket->readAll()); });
        }
    });
}

void TcpPeer::dropConnection()
{
    if (m_socket)
        m_socket->close();
}

void TcpPeer::pushNow(const QByteArray &bytes)
{
    send(bytes);
    if (m_socket)
        m_socket->waitForBytesWritten(1000);
}

void TcpPeer::send(const QByteArray &bytes)
{
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState) {
        m_socket->write(bytes);
        m_socket->flush();
    }
}
