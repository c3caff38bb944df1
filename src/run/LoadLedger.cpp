#include "run/LoadLedger.h"

#include "model/FunctionCatalog.h"

#include <algorithm>

void LoadLedger::beginSetUp(const QList<CommandPlan::Item> &items, Restate restate)
{
    m_setUp = items;
    m_restate = restate;
    m_setUpLinesSent = 0;
    m_settingUp = true;
    m_setUpDelivered = false;
}

void LoadLedger::aboutToSend(const QString &line)
{
    if (!m_settingUp && isOffLine(line))
        m_setUp.clear();
}

void LoadLedger::sent(const QString &line)
{
    if (m_settingUp) {
        ++m_setUpLinesSent;
        return;
    }
    if (isOffLine(line) && !m_offs.contains(line))
        m_offs.append(line);
}

void LoadLedger::delivered()
{
    m_offs.clear();
    if (!m_settingUp)
        m_setUpDelivered = true;
}

QList<CommandPlan::Item> LoadLedger::owed() const
{
    QList<CommandPlan::Item> items;
    for (const QString &off : m_offs)
        items.append({off, 0});
    if (m_setUp.isEmpty() || (m_restate == Restate::UntilDelivered && m_setUpDelivered))
        return items;
    // While the set-up goes out, the lines still to come are sent by the step itself.
    int lines = m_settingUp ? m_setUpLinesSent : int(m_setUp.size());
    for (const CommandPlan::Item &item : m_setUp) {
        if (lines == 0)
            break;
        if (!item.line.isEmpty())
            --lines;
        // "LOAD OFF" owed and then set up again by a Rest: once is enough.
        if (!items.isEmpty() && item.line == items.last().line)
            continue;
        items.append(item);
    }
    return items;
}

bool LoadLedger::owedRestartsTest() const
{
    if (m_restate != Restate::UntilDelivered || m_setUpDelivered || m_setUp.isEmpty())
        return false;
    const auto lines = std::count_if(
        m_setUp.begin(), m_setUp.end(), [](const CommandPlan::Item &item) { return !item.line.isEmpty(); });
    return !m_settingUp || m_setUpLinesSent >= lines;
}

bool LoadLedger::isOffLine(const QString &line)
{
    if (line == QLatin1String("LOAD OFF"))
        return true;
    for (int index = 0; index < FunctionCatalog::Count; ++index) {
        const QString &off = FunctionCatalog::descriptor(index).offLine;
        if (!off.isEmpty() && off == line)
            return true;
    }
    return false;
}
