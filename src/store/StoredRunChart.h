#pragma once

#include "results/ChartHistory.h"

#include <QString>
#include <functional>

class RunArchive;
struct StoredRun;

// A stored run's samples gathered into a chart's history as the live chart gathered them: a step
// start at each change of step, and each step's verdict at its last sample.
class StoredRunChart
{
public:
    // `run` with its steps, as RunArchive::run() gives it. False when the samples could not be
    // read (`error` says why) or when `cancelled` said so (`error` empty).
    static bool fill(ChartHistory &history, const RunArchive &archive, const StoredRun &run,
        const std::function<bool()> &cancelled, QString *error);
};
