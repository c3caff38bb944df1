#include "link/InstrumentLink.h"

#include "link/WakeAwaiter.h"

QCoro::Task<QString> InstrumentLink::ask(const QString &query)
{
    while (m_asking)
        co_await WakeAwaiter(1000, &m_turn, nullptr);
    m_asking = true;
    clearReply();
    co_await LinkSend(query);
    const QString reply = co_await LinkQuery();
    m_asking = false;
    m_turn.wake();
    co_return reply;
}
