#pragma once

#include <QString>

class ChartHistory;
class RunArchive;
struct StoredRun;

// A stored run's chart, as the live chart drew it while the run went: its samples streamed into a
// ChartHistory, with a mark where each step started and each verdict at its step's last sample.
class StoredHistory
{
public:
    // `run` with its steps, as RunArchive::run() gives it. False, with the reason in `error`, when
    // the samples could not be read.
    static bool load(const RunArchive &archive, const StoredRun &run, ChartHistory &history, QString *error);
};
