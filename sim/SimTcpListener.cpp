#include "SimTcpListener.h"

#include "SimSession.h"

#include <QTcpServer>
#include <QTcpSocket>

SimTcpListener::SimTcpListener(
    SimInstruments &instruments, SimInstrument instrument, const FaultSet &faults, QObject *parent)
    : QObject(parent),
      m_instruments(instruments),
      m_instrument(instrument),
      m_faults(faults),
      m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &SimTcpListener::accept);
}

bool SimTcpListener::listen(quint16 port, QString *error)
{
    if (m_server->listen(QHostAddress::LocalHost, port))
        return true;
    if (error)
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(m_server->errorString());
    return false;
}

quint16 SimTcpListener::port() const { return m_server->serverPort(); }

void SimTcpListener::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto *session = new SimSession(m_instruments, m_instrument, m_faults, socket);
        connect(socket, &QTcpSocket::readyRead, session, [socket, session] { session->receive(socket->readAll()); });
        connect(session, &SimSession::send, socket, [socket](const QByteArray &bytes) {
            socket->write(bytes);
            socket->flush();
        });
        connect(session, &SimSession::dropRequested, socket, [socket] { socket->disconnectFromHost(); });
        // A client that goes away is the normal end of a conversation.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}
