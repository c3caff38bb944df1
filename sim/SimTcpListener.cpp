#include "SimTcpListener.h"

#include "SharedFaults.h"
#include "SimSession.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

SimTcpListener::SimTcpListener(SimInstruments &instruments, SimInstrument instrument, const FaultSet &faults,
    SharedFaults *shared, QObject *parent)
    : QObject(parent),
      m_instruments(instruments),
      m_instrument(instrument),
      m_faults(faults),
      m_shared(shared),
      m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &SimTcpListener::accept);
    if (m_shared) {
        m_shared->join();
        connect(m_shared, &SharedFaults::goDown, this, &SimTcpListener::goDown);
        connect(m_shared, &SharedFaults::comeUp, this, &SimTcpListener::comeUp);
    }
}

bool SimTcpListener::listen(quint16 port, QString *error)
{
    if (m_server->listen(QHostAddress::LocalHost, port)) {
        m_port = m_server->serverPort();
        return true;
    }
    if (error)
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(m_server->errorString());
    return false;
}

void SimTcpListener::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto *session = new SimSession(m_instruments, m_instrument, m_faults, m_shared, socket);
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

// The clients' conversations end at once, but what was already sent to them still reaches them
// before their connections close.
void SimTcpListener::goDown()
{
    for (QTcpSocket *socket : m_server->findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly)) {
        delete socket->findChild<SimSession *>();
        socket->disconnectFromHost();
    }
    m_server->close();
    m_shared->transportDown();
}

// The port was ours a moment ago, and the address reuse QTcpServer asks for lets it be bound again
// beside the closed connections; someone else may have taken it meanwhile, though.
void SimTcpListener::comeUp()
{
    if (m_server->listen(QHostAddress::LocalHost, m_port)) {
        m_warned = false;
        m_shared->transportUp();
        return;
    }
    if (!m_warned)
        qWarning("cannot listen on 127.0.0.1:%u again (%s); retrying", m_port, qPrintable(m_server->errorString()));
    m_warned = true;
    QTimer::singleShot(relistenRetryMs, this, &SimTcpListener::comeUp);
}
