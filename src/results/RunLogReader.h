#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// A run's CSV log read back, as RunLogFile writes it: the header line, then one line per row of
// ten cells, in the order the rows were made, numbered from 1. The separator is that of each line
// (a run may change it as it goes): whatever stands between a line's number and its step time,
// whose forms are fixed; where that tells nothing, the one the caller names.
class RunLogReader
{
public:
    struct Row
    {
        // The line in the file, from 1 (the header).
        int line = 0;
        qint32 number = 0;
        // "StepTime": since the step's start, to the second.
        qint64 stepSeconds = 0;
        // "TotalTime": when the row was made, to the second.
        QDateTime made;
        // The ten cells (ResultLog::Column).
        QStringList cells;

        // A verdict row of the load's own test ("PASS" or "FAIL" in "Result"); else a sample row.
        bool isVerdict() const;
        QString function() const;
    };

    struct Log
    {
        QList<Row> rows;
        // SHA-256 of the file's bytes: the same log gives the same run wherever it is imported.
        QByteArray digest;
        // The last line had no line end (the row being written when the program or the machine
        // stopped): it is left out.
        bool lastLineCut = false;
    };

    // Nothing, with `error` as "PATH:LINE: what is wrong", for a file that is no result log.
    static std::optional<Log> read(const QString &path, const QString &separatorText, QString *error);
    // The same from the file's bytes; `name` names it in an error.
    static std::optional<Log> parse(
        const QByteArray &bytes, const QString &name, const QString &separatorText, QString *error);
};
