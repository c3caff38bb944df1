#pragma once

struct RunnerOptions;

// The instrument terminal: connects the load link with the settings, sends the query text and
// prints the reply. Exit code 0 with a reply, 2 when none came ("ErrRec").
int runQuery(const RunnerOptions &options);
