#include "run/RecoveringLink.h"

#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/TraceList.h"

#include <algorithm>

namespace {

bool answered(const QString &reply) { return !reply.isEmpty() && reply != ErrRec; }

} // namespace

RecoveringLink::RecoveringLink(InstrumentLink &link, Clock &clock, TraceList &trace)
    : m_link(link), m_clock(clock), m_trace(trace)
{ }

void RecoveringLink::onAnswersAgain(std::function<void(qint64, qint64)> callback)
{
    m_answersAgain = std::move(callback);
}

void RecoveringLink::onLost(std::function<void()> callback) { m_lost = std::move(callback); }

void RecoveringLink::setCancelToken(const CancelToken *cancel)
{
    m_cancel = cancel;
    m_link.setCancelToken(cancel);
}

bool RecoveringLink::cancelled() const { return m_cancel && m_cancel->isCancelled(); }

QCoro::Task<> RecoveringLink::LinkConnect() { co_await m_link.LinkConnect(); }

QCoro::Task<> RecoveringLink::LinkReopen()
{
    m_link.setWaitLimit(AttemptLimitMs);
    co_await m_link.LinkReopen();
    m_link.setWaitLimit(0);
}

QCoro::Task<> RecoveringLink::LinkSend(const QString &command)
{
    // A connection that dropped between two lines is made again before the next goes out.
    if (!m_link.isConnected() && !cancelled()) {
        m_trace.TraceLine(QStringLiteral("The connection to the load is gone: it is reopened"));
        m_link.holdMessages(true);
        co_await LinkReopen();
        m_link.holdMessages(false);
    }
    m_lastSent = command;
    co_await m_link.LinkSend(command);
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
    co_return text;
}

QCoro::Task<QString> RecoveringLink::reply(bool query)
{
    const qint64 silentSince = m_clock.tickMs();
    QString text = co_await attempt(query, AttemptLimitMs);
    if (answered(text) || cancelled())
        co_return text;
    if (m_silent)
        m_silent();
    m_link.holdMessages(true);
    text = co_await recover(query, silentSince);
    m_link.holdMessages(false);
    co_return text;
}

QCoro::Task<QString> RecoveringLink::recover(bool query, qint64 silentSince)
{
    for (;;) {
        const qint64 left = silentSince + SilenceLimitMs - m_clock.tickMs();
        if (left <= 0)
            break;
        m_trace.TraceLine(QStringLiteral("No reply from the load for %1 ms: the link is reopened")
                              .arg(m_clock.tickMs() - silentSince));
        if (!co_await m_clock.waitMs(std::min<qint64>(ReopenPauseMs, left), m_cancel))
            co_return ErrRec;
        co_await LinkReopen();
        if (cancelled())
            co_return ErrRec;
        m_link.clearReply();
        co_await m_link.LinkSend(m_lastSent);
        const int limit = int(std::clamp<qint64>(silentSince + SilenceLimitMs - m_clock.tickMs(), 1, AttemptLimitMs));
        const QString text = co_await attempt(query, limit);
        if (cancelled())
            co_return ErrRec;
        if (answered(text)) {
            const qint64 now = m_clock.tickMs();
            m_trace.TraceLine(
                QStringLiteral("The load answers again after %1 ms without a reply").arg(now - silentSince));
            if (m_answersAgain)
                m_answersAgain(silentSince, now);
            co_return text;
        }
    }
    m_trace.TraceLine(
        QStringLiteral("No reply from the load for %1 ms: it is lost").arg(m_clock.tickMs() - silentSince));
    if (m_lost)
        m_lost();
    co_return ErrRec;
}
