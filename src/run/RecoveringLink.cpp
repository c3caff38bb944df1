#include "run/RecoveringLink.h"

#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/TraceList.h"

#include <algorithm>

namespace {

bool isAnswer(const QString &reply) { return !reply.isEmpty() && reply != ErrRec; }

bool isQuestion(const QString &line) { return line.endsWith(u'?'); }

int attemptLimit(qint64 leftMs) { return int(std::clamp<qint64>(leftMs, 1, RecoveringLink::AttemptLimitMs)); }

} // namespace

RecoveringLink::RecoveringLink(InstrumentLink &link, Clock &clock, TraceList &trace)
    : m_link(link), m_clock(clock), m_trace(trace)
{ }

void RecoveringLink::onAnswersAgain(std::function<void(qint64, qint64)> callback)
{
    m_answersAgain = std::move(callback);
}

void RecoveringLink::onLost(std::function<void()> callback) { m_lostCallback = std::move(callback); }

void RecoveringLink::setCancelToken(const CancelToken *cancel)
{
    m_cancel = cancel;
    m_link.setCancelToken(cancel);
}

bool RecoveringLink::cancelled() const { return m_cancel && m_cancel->isCancelled(); }

QCoro::Task<> RecoveringLink::LinkConnect() { co_await m_link.LinkConnect(); }

QCoro::Task<> RecoveringLink::reopen(int limitMs)
{
    m_link.setWaitLimit(limitMs);
    co_await m_link.LinkReopen();
    m_link.setWaitLimit(0);
}

QCoro::Task<> RecoveringLink::LinkReopen() { return reopen(AttemptLimitMs); }

QCoro::Task<> RecoveringLink::reopenForOffLines() { return reopen(FinalReopenLimitMs); }

QCoro::Task<> RecoveringLink::LinkSend(const QString &command)
{
    if (m_refused)
        co_return;
    m_ledger.aboutToSend(command);
    if (!m_link.isConnected() && !cancelled() && !m_lostDeclared) {
        // The line cannot go out: the silence counts from here.
        startSilence(m_clock.tickMs());
        m_trace.TraceLine(QStringLiteral("The connection to the load is gone: it is made again"));
        if (m_silent)
            m_silent();
        m_link.holdMessages(true);
        const bool restored = co_await restore(false);
        m_link.holdMessages(false);
        if (!restored) {
            // Kept as owed, should the run still reach the load.
            m_ledger.sent(command);
            co_return;
        }
    }
    if (isQuestion(command)) {
        m_lastQuestion = command;
        m_questionTick = m_clock.tickMs();
        // Owed until answered: a Stop in between leaves it owed.
        m_awaiting = true;
    }
    co_await m_link.LinkSend(command);
    m_ledger.sent(command);
}

QCoro::Task<QString> RecoveringLink::LinkQuery() { return reply(true); }

QCoro::Task<QString> RecoveringLink::LinkRead() { return reply(false); }

QCoro::Task<QString> RecoveringLink::attempt(bool query, int limitMs)
{
    m_link.setWaitLimit(limitMs);
    QString text;
    if (query)
        text = co_await m_link.LinkQuery();
    else
        text = co_await m_link.LinkRead();
    m_link.setWaitLimit(0);
    // A question whose wait a Stop cut short may still be answered.
    m_awaiting = cancelled() && !isAnswer(text);
    co_return text;
}

QCoro::Task<QString> RecoveringLink::reply(bool query)
{
    if (m_refused || m_lostDeclared)
        co_return ErrRec;
    const int limit = m_silentSince ? attemptLimit(silenceLeft()) : AttemptLimitMs;
    QString text = co_await attempt(query, limit);
    if (cancelled())
        co_return text;
    if (isAnswer(text)) {
        answered();
        co_return text;
    }
    startSilence(m_questionTick);
    if (m_silent)
        m_silent();
    m_link.holdMessages(true);
    for (;;) {
        if (!co_await restore(true))
            break;
        m_link.clearReply();
        co_await m_link.LinkSend(m_lastQuestion);
        text = co_await attempt(query, attemptLimit(silenceLeft()));
        if (cancelled())
            break;
        if (isAnswer(text)) {
            m_link.holdMessages(false);
            answered();
            co_return text;
        }
    }
    m_link.holdMessages(false);
    co_return ErrRec;
}

QCoro::Task<bool> RecoveringLink::restore(bool pauseFirst)
{
    for (bool pause = pauseFirst;; pause = true) {
        if (pause && !co_await m_clock.waitMs(std::clamp<qint64>(silenceLeft(), 0, ReopenPauseMs), m_cancel))
            co_return false;
        const qint64 left = silenceLeft();
        if (left <= 0) {
            declareLost(m_clock.tickMs() - *m_silentSince);
            co_return false;
        }
        m_trace.TraceLine(
            QStringLiteral("No reply from the load for %1 ms: the link is made again").arg(SilenceLimitMs - left));
        if (co_await reconnectOnce(left))
            co_return true;
        if (ended())
            co_return false;
    }
}

QCoro::Task<bool> RecoveringLink::reconnectOnce(qint64 leftMs)
{
    co_await reopen(attemptLimit(leftMs));
    if (cancelled() || !m_link.isConnected())
        co_return false;
    const Identity identity = co_await identify();
    if (identity != Identity::Same)
        co_return false;
    const QList<CommandPlan::Item> owed = m_ledger.owed();
    const bool restartsTest = m_ledger.owedRestartsTest();
    if (!owed.isEmpty())
        m_trace.TraceLine(QStringLiteral("The load is owed %1 lines and pauses: they go out again").arg(owed.size()));
    for (const CommandPlan::Item &item : owed) {
        if (item.line.isEmpty()) {
            if (!co_await m_clock.waitMs(item.waitMs, m_cancel))
                co_return false;
        } else {
            co_await m_link.LinkSend(item.line);
        }
        // A Stop now must not be followed by more of the step's set-up.
        if (cancelled())
            co_return false;
    }
    if (restartsTest) {
        m_trace.TraceLine(QStringLiteral("The load's own test was started again: no answer showed its start arrived"));
        if (m_testRestarted)
            m_testRestarted();
    }
    co_return m_link.isConnected();
}

QCoro::Task<RecoveringLink::Identity> RecoveringLink::identify()
{
    if (m_expectedModel.isEmpty())
        co_return Identity::Same;
    QString model;
    // A reply to a question asked before the connection went may come first: one more question
    // tells a late reply from another instrument.
    for (int ask = 0; ask < 2; ++ask) {
        const qint64 left = silenceLeft();
        if (left <= 0)
            co_return Identity::None;
        m_link.clearReply();
        co_await m_link.LinkSend(QStringLiteral("name?"));
        model = co_await attempt(true, attemptLimit(left));
        if (cancelled() || !isAnswer(model))
            co_return Identity::None;
        if (model == m_expectedModel)
            co_return Identity::Same;
    }
    m_refused = true;
    m_trace.TraceLine(
        QStringLiteral("Another instrument answers at %1 (\"%2\", not \"%3\"): nothing more is sent to it")
            .arg(m_link.address(), model, m_expectedModel));
    if (m_foreign)
        m_foreign(model);
    co_return Identity::Other;
}

void RecoveringLink::answered()
{
    if (const std::optional<qint64> from = std::exchange(m_silentSince, std::nullopt)) {
        const qint64 now = m_clock.tickMs();
        m_trace.TraceLine(QStringLiteral("The load answers again after %1 ms without a reply").arg(now - *from));
        if (m_answersAgain)
            m_answersAgain(*from, now);
    }
    m_ledger.delivered();
    // The answer before this one was usable unless its caller said otherwise.
    if (!m_lastAnswerUnusable)
        m_unusableSince.remove(m_lastAnswered);
    m_lastAnswered = m_lastQuestion;
    m_lastAnswerUnusable = false;
}

void RecoveringLink::replyUnusable()
{
    m_lastAnswerUnusable = true;
    const qint64 since = m_unusableSince.value(m_lastAnswered, m_questionTick);
    m_unusableSince.insert(m_lastAnswered, since);
    const qint64 now = m_clock.tickMs();
    if (now - since < SilenceLimitMs || m_lostDeclared)
        return;
    m_trace.TraceLine(QStringLiteral("Only unusable replies to \"%1\"").arg(m_lastAnswered));
    declareLost(now - since);
}

void RecoveringLink::startSilence(qint64 tick)
{
    if (!m_silentSince)
        m_silentSince = tick;
}

qint64 RecoveringLink::silenceLeft() const
{
    return m_silentSince ? *m_silentSince + SilenceLimitMs - m_clock.tickMs() : SilenceLimitMs;
}

void RecoveringLink::declareLost(qint64 silentMs)
{
    if (std::exchange(m_lostDeclared, true))
        return;
    m_trace.TraceLine(QStringLiteral("No usable reply from the load for %1 ms: it is lost").arg(silentMs));
    if (m_lostCallback)
        m_lostCallback();
}
