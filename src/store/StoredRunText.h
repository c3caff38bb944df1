#pragma once

#include <QString>

struct StoredRun;

// A stored run as plain text for the operator: what ran where and how it ended, then one line per
// step in the columns of the summary the window shows when a run ends.
class StoredRunText
{
public:
    static QString toText(const StoredRun &run);
    // The result with what else the operator must know of the run's end, as `vornic-runs list`
    // shows it: "PASS, INCOMPLETE (41 samples missing), load not confirmed off".
    static QString resultText(const StoredRun &run);
};
