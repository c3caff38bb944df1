#include "run/PlanSender.h"

#include "commands/CommandPlan.h"
#include "link/CancelToken.h"
#include "link/Clock.h"
#include "link/InstrumentLink.h"

namespace PlanSender {

QCoro::Task<bool> send(const CommandPlan &plan, InstrumentLink &link, Clock &clock, const CancelToken *cancel)
{
    for (const CommandPlan::Item &item : plan.items()) {
        if (cancel && cancel->isCancelled())
            co_return false;
        if (item.line.isEmpty())
            co_await clock.waitMs(item.waitMs, cancel);
        else
            co_await link.LinkSend(item.line);
    }
    co_return !(cancel && cancel->isCancelled());
}

} // namespace PlanSender
