#pragma once

#include "results/RunLogReader.h"

#include <QString>
#include <optional>

// A run's CSV log put into a bench's store (`vornic-runs import`): the log of a run the store
// holds in part (a disk that filled under the store) completes that run, every sample row it
// lacks added under the run's own numbers; a log of no stored run (an earlier program's, a lab's
// old files) becomes a run of its own, whose UUID comes from the log's bytes, so that the same log
// imported again, here or on another bench, is the same run on the lab's server. Either way the
// run is forwarded like any other.
//
// What a log does not tell, an imported run lacks: the load's model and rated current, the
// settings in force, how each step and the run ended (its result is its verdicts': FAIL when one
// failed, else PASS), times finer than the second, and without --program the steps' rows in the
// program (they are numbered in the order they ran). A figure the log leaves empty is NULL.
class RunImport
{
public:
    struct Source
    {
        QString logPath;
        RunLogReader::Log log;
        // The program the run ran, when given: its text is kept, and its rows number the steps.
        QString programPath;
        // The station the run is said to have run on.
        QString station;
    };

    enum class Kind { Created, Completed, AlreadyStored };
    struct Outcome
    {
        Kind kind = Kind::Created;
        QString uuid;
        qint64 samples = 0;
        qint64 samplesAdded = 0;
    };

    // Nothing, with `error`, when the store cannot be written or the program read.
    static std::optional<Outcome> into(const QString &storePath, const Source &source, QString *error);
};
