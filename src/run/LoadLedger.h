#pragma once

#include "commands/CommandPlan.h"

#include <QList>
#include <QString>

// What the run last commanded the load, kept so that a link made again can restore it before the
// run samples again. A line counts as delivered once the load has answered a question sent after
// it on the same connection: the load takes its lines in order.
class LoadLedger
{
public:
    // How the running step's set-up is restored on a new connection.
    enum class Restate {
        // A state the load simply holds (levels, mode, input on or off): stating it again is
        // harmless and puts back whatever a load that restarted has forgotten.
        Always,
        // A test the load runs by itself: stating it again would start it again, so it is sent
        // again only while no answer has shown that it arrived.
        UntilDelivered,
    };

    // A step's set-up is about to go out, line by line with its pauses.
    void beginSetUp(const QList<CommandPlan::Item> &items, Restate restate);
    // The set-up is out (or the run ended while it went out).
    void endSetUp() { m_settingUp = false; }
    // Every line for the load, before it goes: an off line outside a set-up ends the step's
    // state, which is then never stated again.
    void aboutToSend(const QString &line);
    // Every line that went to the load (or would have, had the connection stood).
    void sent(const QString &line);
    // The load answered: everything sent before has arrived.
    void delivered();

    // What a new connection owes the load, in order: the off lines not known to have arrived, then
    // the running step's set-up as far as it went out.
    QList<CommandPlan::Item> owed() const;
    // Whether what is owed starts the load's own test again: its whole set-up, the line that
    // starts it last, goes out once more, no answer having shown that it arrived the first time.
    bool owedRestartsTest() const;
    // Whether anything sent since the last answer may not have arrived.
    bool hasUndelivered() const { return !m_offs.isEmpty() || !m_setUpDelivered; }

    // The lines that end what the load was switched into.
    static bool isOffLine(const QString &line);

private:
    QList<CommandPlan::Item> m_setUp;
    Restate m_restate = Restate::Always;
    // How many of the set-up's lines have gone out.
    int m_setUpLinesSent = 0;
    bool m_settingUp = false;
    bool m_setUpDelivered = true;
    QStringList m_offs;
};
