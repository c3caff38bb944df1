#pragma once

#include "link/InstrumentLink.h"

#include <QHash>
#include <QQueue>
#include <QStringList>
#include <functional>

// A scripted instrument: records every line sent and answers queries from a script.
// Replies are looked up by the last line sent: first a queue of replies queued for that line,
// then a standing reply, else "ErrRec" (a silent instrument).
class FakeLink : public InstrumentLink
{
public:
    QCoro::Task<> LinkConnect() override
    {
        ++m_connects;
        m_connected = !m_connectWorks || m_connectWorks();
        co_return;
    }
    QCoro::Task<> LinkSend(const QString &command) override
    {
        if (m_beforeSend)
            m_beforeSend(command);
        m_lastSent = command;
        // The load's own tests draw current without "LOAD ON".
        if (command == QLatin1String("LOAD ON") || command == QLatin1String("START"))
            m_inputOn = true;
        else if (command == QLatin1String("LOAD OFF"))
            m_inputOn = false;
        // A line sent while the connection is gone never reaches the instrument.
        (m_connected ? m_sent : m_lost).append(command);
        if (m_onSend)
            m_onSend(command);
        co_return;
    }
    QCoro::Task<QString> LinkQuery() override { co_return m_connected ? replyTo(m_lastSent) : ErrRec; }
    QCoro::Task<QString> LinkRead() override { co_return m_connected ? replyTo(m_lastSent) : ErrRec; }
    void clearReply() override { }
    int connectMode() const override { return m_mode; }
    bool isConnected() const override { return m_connected; }
    QString address() const override { return QStringLiteral("fake:1"); }

    // The connection goes; whether a connect makes it again is `connectWorks` (none: always).
    void dropConnection() { m_connected = false; }
    void setConnectWorks(std::function<bool()> works) { m_connectWorks = std::move(works); }
    // The lines that were sent while the connection was gone.
    const QStringList &lost() const { return m_lost; }
    // Nothing here waits, so there is nothing to cancel.
    void setCancelToken(const CancelToken *) override { }

    // Replies for a query, used once each, in order.
    void queueReplies(const QString &query, const QStringList &replies)
    {
        for (const QString &reply : replies)
            m_queued[query].enqueue(reply);
    }
    // The reply for a query once its queue is empty.
    void setReply(const QString &query, const QString &reply) { m_standing[query] = reply; }
    // The reply for a query once its queue is empty, while the input is off ("LOAD OFF" sent
    // after the last "LOAD ON" or "START"): a load whose input is off reads no current.
    void setOffReply(const QString &query, const QString &reply) { m_whileOff[query] = reply; }
    void setConnectMode(int mode) { m_mode = mode; }
    // Called after every line sent, e.g. to press Stop in the middle of a pass.
    void onSend(std::function<void(const QString &)> callback) { m_onSend = std::move(callback); }
    // Called as each reply goes, e.g. to drop the connection once it is out.
    void onReply(std::function<void(const QString &query)> callback) { m_onReply = std::move(callback); }
    // Called before each line goes, e.g. to drop the connection under it.
    void beforeSend(std::function<void(const QString &)> callback) { m_beforeSend = std::move(callback); }

    const QStringList &sent() const { return m_sent; }
    QStringList takeSent() { return std::exchange(m_sent, {}); }
    int connects() const { return m_connects; }

private:
    QString replyTo(const QString &query)
    {
        QString reply = m_standing.value(query, ErrRec);
        if (!m_inputOn && m_whileOff.contains(query))
            reply = m_whileOff.value(query);
        auto queued = m_queued.find(query);
        if (queued != m_queued.end() && !queued->isEmpty())
            reply = queued->dequeue();
        if (m_onReply)
            m_onReply(query);
        return reply;
    }

    QStringList m_sent;
    QString m_lastSent;
    QHash<QString, QQueue<QString>> m_queued;
    QHash<QString, QString> m_standing;
    QHash<QString, QString> m_whileOff;
    bool m_inputOn = false;
    std::function<void(const QString &)> m_onSend;
    std::function<void(const QString &)> m_beforeSend;
    std::function<void(const QString &)> m_onReply;
    int m_mode = 2;
    int m_connects = 0;
    bool m_connected = true;
    std::function<bool()> m_connectWorks;
    QStringList m_lost;
};
