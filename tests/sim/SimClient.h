#pragma once

#include <QByteArray>
#include <QList>
#include <QSocketNotifier>
#include <QString>
#include <QTcpSocket>
#include <memory>

// A client of the simulator: a loopback TCP socket or the pseudo-terminal, collecting the reply
// lines and how many pieces they came in.
class SimClient
{
public:
    ~SimClient();

    bool connectTcp(quint16 port);
    bool openTerminal(const QString &path);
    void close();
    void write(const QByteArray &bytes);

    // Waits until `count` complete lines have arrived (or the time is up).
    bool waitForReplies(int count, int ms = 30000);
    // The lines received so far, without their CR LF.
    QList<QByteArray> replies() const;
    // Everything received as it came, one entry per arrival.
    const QList<QByteArray> &arrivals() const { return m_arrivals; }
    // The simulator closed the connection, or hung up the terminal.
    bool disconnected() const;

private:
    void received(const QByteArray &bytes);

    std::unique_ptr<QTcpSocket> m_socket;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_buffer;
    QList<QByteArray> m_arrivals;
    bool m_hungUp = false;
};
