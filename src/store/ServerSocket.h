#pragma once

#include <QElapsedTimer>
#include <mutex>

// The socket under a lab server connection, which another thread may cut. A server that stopped
// answering (a frozen network whose kernel still acknowledges, a server process that hangs) holds
// a libpq call for ever: no time limit of the server's own can fire there, and the keepalives only
// find a peer that is gone. Shutting the socket down makes that call fail at once, and unlike
// closing it never lets its number be taken by another file meanwhile. libpq's cancel request is
// no help here: it opens a new connection to the very server that does not answer.
class ServerSocket
{
public:
    ServerSocket() = default;
    ~ServerSocket();
    ServerSocket(const ServerSocket &) = delete;
    ServerSocket &operator=(const ServerSocket &) = delete;

    // Takes a duplicate of the open connection's socket (-1 for none); a cut asked for already
    // applies at once.
    void hold(int socket);
    // Before the connection closes.
    void release();
    // Around each call that waits for the server, on the connection's thread.
    void callStarted();
    void callEnded();
    // From any thread. A cut lasts until the connection is released; `forGood` also cuts every
    // connection held after it.
    void cut(bool forGood = false);
    // Cuts the connection when a call has waited for longer than `limitMs`; true when it did.
    bool cutIfWaitingLongerThan(qint64 limitMs);

private:
    void shutDownLocked();

    std::mutex m_mutex;
    int m_fd = -1;
    bool m_cutForGood = false;
    QElapsedTimer m_call;
};
