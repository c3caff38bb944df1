#pragma once

#include <QByteArray>
#include <QString>

class RunComparison;

// A comparison of runs as CSV for a spreadsheet: a header, one row per run, then the rows "mean",
// "min", "max" and "stddev" of each number. Numbers have a "." and fixed decimals (Ah and Wh 6,
// volts 3, seconds 1, state of health 4); a figure a run lacks is an empty cell. Lines end in CR LF.
class RunComparisonCsv
{
public:
    static QByteArray toCsv(const RunComparison &comparison);
    // To `path` as OutputFile writes it ("-": standard output). An empty text on success, else the
    // path and the reason.
    static QString write(const RunComparison &comparison, const QString &path);
};
