#pragma once

#include "link/InstrumentLink.h"
#include "run/LoadLedger.h"

#include <QHash>
#include <functional>
#include <optional>

class Clock;
class TraceList;

// The load's link as a run uses it. A load that misses a reply, or whose connection is gone, is
// not given up at once, nor waited for without end: the link is made again until the load answers,
// or until nothing usable has come for SilenceLimitMs since the first line that went unanswered.
// A link made again first asks who answers, then delivers what the load was owed (LoadLedger), and
// only then asks its question again. The caller sees either the reply that came, late, or "ErrRec"
// once the load is lost; no row is ever made for the silence.
class RecoveringLink : public InstrumentLink
{
public:
    static constexpr int SilenceLimitMs = 10000;
    // No single wait takes the whole silence: there must be time to reconnect and ask again.
    static constexpr int AttemptLimitMs = 3000;
    // Between two attempts, so that a port that fails at once is not reopened in a tight loop.
    static constexpr int ReopenPauseMs = 250;
    // The off lines at the end of a run go out quickly or not at all: a Stop must not hang.
    static constexpr int FinalReopenLimitMs = 300;

    RecoveringLink(InstrumentLink &link, Clock &clock, TraceList &trace);

    // The model the load named at identification: only that model is taken for the load on a
    // link made again. Empty: whatever answers.
    void setExpectedModel(const QString &model) { m_expectedModel = model; }
    LoadLedger &ledger() { return m_ledger; }

    // When a reply is first missed, or a line finds the connection gone, before the link is made
    // again.
    void onSilent(std::function<void()> callback) { m_silent = std::move(callback); }
    // After a silence, when the load answers again: the ticks of the first unanswered line and of
    // the reply.
    void onAnswersAgain(std::function<void(qint64 fromTick, qint64 toTick)> callback);
    // Once nothing usable has come for SilenceLimitMs.
    void onLost(std::function<void()> callback);
    // The load's own test was started again over a new connection (LoadLedger::owedRestartsTest).
    void onTestRestarted(std::function<void()> callback) { m_testRestarted = std::move(callback); }
    // Another instrument answers where the load was: its model.
    void onForeign(std::function<void(const QString &model)> callback) { m_foreign = std::move(callback); }

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
    void replyUnusable() override;
    QString address() const override { return m_link.address(); }

    // Nothing more goes to the instrument at the load's address: it is another one.
    bool refused() const { return m_refused; }
    // The run ended between a question and its reply.
    bool replyCut() const { return m_awaiting; }
    // For the run's last lines: a quick new connection, without the ledger's lines.
    QCoro::Task<> reopenForOffLines();

private:
    enum class Identity { Same, Other, None };

    QCoro::Task<> reopen(int limitMs);
    QCoro::Task<QString> reply(bool query);
    QCoro::Task<QString> attempt(bool query, int limitMs);
    // Makes the link again until it is restored or the silence runs out; false when it ran out,
    // or the run was cancelled, or another instrument answers.
    QCoro::Task<bool> restore(bool pauseFirst);
    // One new connection: identity, then what the load is owed. True once all of it went out.
    QCoro::Task<bool> reconnectOnce(qint64 leftMs);
    QCoro::Task<Identity> identify();
    void answered();
    void startSilence(qint64 tick);
    qint64 silenceLeft() const;
    void declareLost(qint64 silentMs);
    bool cancelled() const;
    bool ended() const { return cancelled() || m_refused || m_lostDeclared; }

    InstrumentLink &m_link;
    Clock &m_clock;
    TraceList &m_trace;
    LoadLedger m_ledger;
    const CancelToken *m_cancel = nullptr;
    QString m_expectedModel;
    QString m_lastQuestion;
    qint64 m_questionTick = 0;
    // The tick of the first line that went unanswered; none while the load answers.
    std::optional<qint64> m_silentSince;
    // Per question, since when its answers have been unusable.
    QHash<QString, qint64> m_unusableSince;
    QString m_lastAnswered;
    bool m_lastAnswerUnusable = false;
    bool m_awaiting = false;
    bool m_refused = false;
    bool m_lostDeclared = false;
    std::function<void(qint64, qint64)> m_answersAgain;
    std::function<void()> m_silent;
    std::function<void()> m_lostCallback;
    std::function<void(const QString &)> m_foreign;
    std::function<void()> m_testRestarted;
};
