#pragma once

#include <QString>

class QIODevice;
class RunArchive;
struct StoredRun;

// A stored run written out for other programs: its samples as CSV like the run's own log, or the
// whole run as JSON. Samples are streamed from the store, never held whole, and each regular file
// is written whole or not at all.
class RunExport
{
public:
    // The first line of the CSV: the samples' columns.
    static constexpr char CsvHeader[] = "No.,TotalTime(s),Step,Function,V,I,W,AH,WH";

    // "No.,TotalTime(s),Step,Function,V,I,W,AH,WH" and one row per sample, lines ended by CR LF,
    // to `path` as OutputFile writes it ("-": standard output). An empty text on success, else the
    // path and the reason.
    static QString writeCsv(const RunArchive &archive, const StoredRun &run, const QString &path);
    // The run's fields (its load's off state as RunSummary::toJson's "load_off", "sample_count" the
    // samples the run made, null when not kept), its steps (with RunSummary::toJson's keys) and
    // "samples": [[seq, elapsed, v, i, w, ah, wh, step], ...]. An empty text on success, else the
    // path and the reason.
    static QString writeJson(const RunArchive &archive, const StoredRun &run, const QString &path);

    // The same onto an open device (standard output, say), which a failure may leave half written.
    // An empty text on success, else the reason.
    static QString writeCsv(const RunArchive &archive, const StoredRun &run, QIODevice &out);
    static QString writeJson(const RunArchive &archive, const StoredRun &run, QIODevice &out);
};
