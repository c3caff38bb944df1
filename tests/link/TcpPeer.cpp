#include "TcpPeer.h"

#include <QDeadlineTimer>
#include <QThread>
#include <linux/sockios.h>
#include <sys/ioctl.h>

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
    if (!m_socket)
        return;
    m_socket->waitForBytesWritten(30000);
    // Until the program's end has acknowledged them: they are then in its socket, whether or not
    // its event loop has turned since. The event loop is left alone while waiting.
    const QDeadlineTimer patience(30000);
    int unacknowledged = 0;
    while (::ioctl(int(m_socket->socketDescriptor()), SIOCOUTQ, &unacknowledged) == 0 && unacknowledged > 0
        && !patience.hasExpired())
        QThread::yieldCurrentThread();
}

void TcpPeer::send(const QByteArray &bytes)
{
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState) {
        m_socket->write(bytes);
        m_socket->flush();
    }
}
