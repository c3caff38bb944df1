#pragma once

#include <QtGlobal>
#include <atomic>
#include <thread>

// A TCP relay on 127.0.0.1 to a port of this machine, which can stop passing bytes on without
// closing anything: a network that froze, as a program sees it. Its kernel still takes what the
// program sends and makes new connections, and no answer ever comes back, until it is thawed.
class TcpRelay
{
public:
    explicit TcpRelay(quint16 targetPort);
    ~TcpRelay();
    TcpRelay(const TcpRelay &) = delete;
    TcpRelay &operator=(const TcpRelay &) = delete;

    // 0 when it could not listen.
    quint16 port() const { return m_port; }
    void freeze() { m_frozen = true; }
    void thaw() { m_frozen = false; }

private:
    void pump();

    quint16 m_targetPort;
    quint16 m_port = 0;
    int m_listener = -1;
    std::atomic_bool m_frozen = false;
    std::atomic_bool m_stop = false;
    std::thread m_thread;
};
