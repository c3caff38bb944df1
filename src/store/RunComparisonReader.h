#pragma once

#include "store/RunComparison.h"

#include <QStringList>
#include <functional>
#include <optional>

class RunArchive;

// Reads the runs to compare from a store: each with its steps, its chart and its figures. A run
// named twice (by two prefixes, say) counts once, since twice it would weigh twice in the mean; a
// run that never reached the step to align at is left out and named; a run that cannot be read
// stops the reading.
class RunComparisonReader
{
public:
    struct Read
    {
        RunComparison comparison;
        // Why each run left out was left out.
        QStringList leftOut;
    };

    // Nothing when a run cannot be read (`error` says which and why) or when `cancelled` said so
    // (`error` empty).
    static std::optional<Read> read(const RunArchive &archive, const QStringList &uuids, std::optional<int> alignStep,
        const std::function<bool()> &cancelled, QString *error);
};
