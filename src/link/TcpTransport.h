#pragma once

#include "link/LineFraming.h"
#include "link/LinkTransport.h"

#include <QTcpSocket>

// The LAN transport, a TCP client. With reception on (the load), every complete line that arrives
// becomes the reply buffer, and a line cut for its length makes it "ErrRec"; without it (the
// generator), what arrives stays in the socket until the next write traces it as unread.
class TcpTransport : public LinkTransport
{
    Q_OBJECT

public:
    static constexpr int FirstPauseMs = 100;
    static constexpr int RetryPauseMs = 10;
    static constexpr int LastRetry = 1000;
    static constexpr int ReplyTimeoutMs = 10000;
    // The load takes a LAN line only more than 5 ms after the one before it.
    static constexpr int PauseAfterWriteMs = 5;
    // What the socket holds for the event loop to deliver: a load that floods the link is read a
    // little at a time, and the rest waits in the kernel.
    static constexpr qint64 ReadBufferBytes = 64 * 1024;

    TcpTransport(bool receives, Clock &clock, TraceList &trace, QObject *parent = nullptr);
    ~TcpTransport() override;

    static QString hostText(const LinkSettings &settings);

    QCoro::Task<> open(const LinkSettings &settings) override;
    QCoro::Task<> write(const QString &command) override;
    QCoro::Task<QString> query() override;
    QCoro::Task<QString> read() override;
    void clearReply() override { m_replyBuffer.clear(); }

    // ReplyBuffer: the last complete line received, without its line end; "" when there is none.
    const QString &replyBuffer() const { return m_replyBuffer; }
    // Connected, and the load has not closed its end (which the event loop may not have seen yet).
    bool isConnected() const;
    // Lets the connection go, so that the next open makes a new one.
    void close();

Q_SIGNALS:
    void replyArrived();

private:
    void onReadyRead();
    QCoro::Task<> connectWithRetries(const QString &host, quint16 port);
    QByteArray takeUnread();
    void send(const QByteArray &line);
    // Waits until the last line is more than the pause behind.
    QCoro::Task<> keepLineSpacing();

    const bool m_receives;
    QTcpSocket m_socket;
    QString m_host;
    qint32 m_port = 0;
    QString m_replyBuffer;
    LineFraming m_framing;
    bool m_takingUnread = false;
    qint64 m_lastWriteTick = -1;
    // Complete lines received so far: what ends the pause after a write early.
    quint64 m_linesArrived = 0;
};
