#include "SimClient.h"

#include <QFile>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

SimClient::~SimClient() { close(); }

bool SimClient::connectTcp(quint16 port)
{
    m_socket = std::make_unique<QTcpSocket>();
    QObject::connect(m_socket.get(), &QTcpSocket::readyRead, [this] { received(m_socket->readAll()); });
    m_socket->connectToHost(QHostAddress::LocalHost, port);
    return QTest::qWaitFor([this] { return m_socket->state() == QAbstractSocket::ConnectedState; }, 30000);
}

bool SimClient::openTerminal(const QString &path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        return false;
    termios mode{};
    ::tcgetattr(m_fd, &mode);
    ::cfmakeraw(&mode);
    ::tcsetattr(m_fd, TCSANOW, &mode);
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
        char chunk[1024];
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n > 0) {
            received(QByteArray(chunk, n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            m_hungUp = true;
            m_notifier->setEnabled(false);
        }
    });
    return true;
}

void SimClient::close()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_socket.reset();
    m_buffer.clear();
    m_arrivals.clear();
    m_hungUp = false;
}

void SimClient::write(const QByteArray &bytes)
{
    if (m_socket) {
        m_socket->write(bytes);
        m_socket->flush();
    } else if (m_fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    }
}

void SimClient::received(const QByteArray &bytes)
{
    m_buffer += bytes;
    m_arrivals.append(bytes);
}

bool SimClient::waitForReplies(int count, int ms)
{
    return QTest::qWaitFor([&] { return replies().size() >= count; }, ms);
}

QList<QByteArray> SimClient::replies() const
{
    QList<QByteArray> lines = m_buffer.split('\n');
    lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

bool SimClient::disconnected() const
{
    return m_hungUp || (m_socket && m_socket->state() == QAbstractSocket::UnconnectedState);
}
