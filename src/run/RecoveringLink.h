#pragma once

#include "link/InstrumentLink.h"

#include <functional>

class Clock;
class TraceList;

// The load's link as a run uses it. A load that misses a reply is not given up at once, nor
// waited for without end: the link is reopened and the question asked again until the load
// answers, or until no reply has come for SilenceLimitMs in a row. The caller sees either the reply
// that came, late, or "ErrRec" once the load is lost; no row is ever made for the silence.
class RecoveringLink : public InstrumentLink
{
public:
    static constexpr int SilenceLimitMs = 10000;
    // Within a run no single wait takes the whole silence: there must be time to reopen and ask again.
    static constexpr int AttemptLimitMs = 3000;
    // Between two attempts, so that a port that fails at once is not reopened in a tight loop.
    static constexpr int ReopenPauseMs = 250;

    RecoveringLink(InstrumentLink &link, Clock &clock, TraceList &trace);

    // When a reply is first missed, before the link is reopened.
    void onSilent(std::function<void()> callback) { m_silent = std::move(callback); }
    // After a silence, when the load answers again: the ticks of the first unanswered wait and of
    // the reply.
    void onAnswersAgain(std::function<void(qint64 fromTick, qint64 toTick)> callback);
    // Once no reply has come for SilenceLimitMs; the question then answers "ErrRec".
    void onLost(std::function<void()> callback);

    QCoro::Task<> LinkConnect() override;
    QCoro::Task<> LinkSend(const QString &command) override;
    QCoro::Task<QString> LinkQuery() override;
    QCoro::Task<QString> LinkRead() override;
    void clearReply() override { m_link.clearReply(); }
    int connectMode() const override { return m_link.connectMode(); }
    void setCancelToken(const CancelToken *cancel) override;
    bool isConnected() const override { return m_link.isConnected(); }
    QCoro::Task<> LinkReopen() override;
    void setWaitLimit(int ms) override { m_link.setWaitLimit(ms); }

private:
    QCoro::Task<QString> reply(bool query);
    QCoro::Task<QString> recover(bool query, qint64 silentSince);
    QCoro::Task<QString> attempt(bool query, int limitMs);
    bool cancelled() const;

    InstrumentLink &m_link;
    Clock &m_clock;
    TraceList &m_trace;
    const CancelToken *m_cancel = nullptr;
    QString m_lastSent;
    std::function<void(qint64, qint64)> m_answersAgain;
    std::function<void()> m_silent;
    std::function<void()> m_lost;
};
