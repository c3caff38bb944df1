#pragma once

#include <QString>

struct StoredRun;

// A stored run as plain text for the operator: what ran where and how it ended, then one line per
// step in the columns of the summary the window shows when a run ends.
class StoredRunText
{
public:
    static QString toText(const StoredRun &run);
};
