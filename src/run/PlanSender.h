#pragma once

#include <QCoro/QCoroTask>

class CancelToken;
class Clock;
class CommandPlan;
class InstrumentLink;

namespace PlanSender {

// Sends `plan` line by line with its pauses. Once `cancel` fires the rest of the plan is dropped,
// so that nothing switches the load on again after a Stop. False when it was. The plan must
// outlive the send.
QCoro::Task<bool> send(const CommandPlan &plan, InstrumentLink &link, Clock &clock, const CancelToken *cancel);

} // namespace PlanSender
