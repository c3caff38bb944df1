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
        co_return;
    }
    QCoro::Task<> LinkSend(const QString &command) override
    {
        m_sent.append(command);
        m_lastSent = command;
        if (m_onSend)
            m_onSend(command);
        co_return;
    }
    QCoro::Task<QString> LinkQuery() override { co_return replyTo(m_lastSent); }
    QCoro::Task<QString> LinkRead() override { co_return replyTo(m_lastSent); }
    void clearReply() override { }
    int connectMode() const override { return m_mode; }
    bool isConnected() const override { return true; }
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
    void setConnectMode(int mode) { m_mode = mode; }
    // Called after every line sent, e.g. to press Stop in the middle of a pass.
    void onSend(std::function<void(const QString &)> callback) { m_onSend = std::move(callback); }

    const QStringList &sent() const { return m_sent; }
    QStringList takeSent() { return std::exchange(m_sent, {}); }
    int connects() const { return m_connects; }

private:
    QString replyTo(const QString &query)
    {
        auto queued = m_queued.find(query);
        if (queued != m_queued.end() && !queued->isEmpty())
            return queued->dequeue();
        return m_standing.value(query, ErrRec);
    }

    QStringList m_sent;
    QString m_lastSent;
    QHash<QString, QQueue<QString>> m_queued;
    QHash<QString, QString> m_standing;
    std::function<void(const QString &)> m_onSend;
    int m_mode = 2;
    int m_connects = 0;
};
