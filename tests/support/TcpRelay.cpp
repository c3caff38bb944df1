#include "TcpRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool sendAll(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= sent;
    }
    return true;
}

} // namespace

TcpRelay::TcpRelay(quint16 targetPort) : m_targetPort(targetPort)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_listener, 16) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { pump(); });
}

TcpRelay::~TcpRelay()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

void TcpRelay::pump()
{
    // Pairs of sockets: each even index with the odd one after it.
    std::vector<int> sockets;
    const auto closePair = [&sockets](size_t at) {
        const size_t first = at - at % 2;
        ::close(sockets[first]);
        ::close(sockets[first + 1]);
        sockets.erase(sockets.begin() + qsizetype(first), sockets.begin() + qsizetype(first) + 2);
    };
    while (!m_stop) {
        std::vector<pollfd> watched;
        // While frozen nothing is accepted or read: the kernel queues it all.
        if (!m_frozen) {
            watched.push_back({m_listener, POLLIN, 0});
            for (int fd : sockets)
                watched.push_back({fd, POLLIN, 0});
        }
        if (::poll(watched.data(), nfds_t(watched.size()), 20) <= 0 || m_frozen)
            continue;
        if (watched[0].revents & POLLIN) {
            const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in target = loopback(m_targetPort);
            if (client >= 0 && server >= 0
                && ::connect(server, reinterpret_cast<const sockaddr *>(&target), sizeof target) == 0) {
                sockets.push_back(client);
                sockets.push_back(server);
            } else {
                ::close(client);
                ::close(server);
            }
        }
        for (size_t k = watched.size() - 1; k >= 1; --k) {
            if (!(watched[k].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const size_t at = k - 1;
            char buffer[65536];
            const ssize_t got = ::recv(sockets[at], buffer, sizeof buffer, 0);
            if (got <= 0 || !sendAll(sockets[at ^ 1], buffer, got)) {
                closePair(at);
                // The pair's other socket may be later in the list, and its place is gone.
                break;
            }
        }
    }
    for (int fd : sockets)
        ::close(fd);
}
