#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// Whether the load is known to have obeyed the run's off lines. A question answered after them
// on the same connection proves they arrived; a reading after "LOAD OFF" with the current near
// zero proves the load obeyed.
struct LoadOff
{
    enum class State {
        // The run goes on, or it never reached the load: nothing is owed.
        None,
        // The off lines arrived and the load read no current after them.
        Confirmed,
        // The off lines could not be confirmed: the load may still be on, and is told again.
        Unconfirmed,
    };

    State state = State::None;
    // The load's address, as the operator knows it.
    QString address;
    // Unconfirmed: since when (the run's end).
    QDateTime since;
    // Confirmed: when; for a run that first ended unconfirmed, the moment a later try reached it.
    QDateTime confirmedAt;
    // Confirmed: the current the load read after its off lines.
    std::optional<double> amps;

    bool unconfirmed() const { return state == State::Unconfirmed; }
    // Confirmed only after the run had ended unconfirmed.
    bool confirmedLate() const { return state == State::Confirmed && since.isValid(); }
};
