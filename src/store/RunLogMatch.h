#pragma once

#include "results/LoggedRun.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

class QSqlDatabase;

// The stored run that wrote a CSV log: one that started at most StartWindowSeconds before the
// log's first row and had not ended before its last, whose samples (as many as the store holds,
// no more than the log's) are the log's sample rows of the same numbers, in time and in every
// figure the rows show. Of several, the one that started last.
class RunLogMatch
{
public:
    // Before its first row a run identifies its load, sets up its first step and waits its first
    // interval (60 s at most).
    static constexpr qint64 StartWindowSeconds = 600;
    // A row's "TotalTime" is cut to the second and made a moment after its sample.
    static constexpr qint64 TimeSlackSeconds = 2;

    struct Found
    {
        QString uuid;
        QDateTime started;
        bool ended = false;
        std::optional<qint64> samplesMade;
        QString programText;
        // The elapsed seconds of each sample the store holds, by number.
        QHash<qint64, double> elapsed;
        // Its steps' rows and functions in the order they ran; none when its end was not kept.
        QList<QPair<int, QString>> steps;
    };

    // Nothing when no stored run wrote the log; `error` set when the store cannot be read.
    static std::optional<Found> find(QSqlDatabase &db, const LoggedRun &log, QString *error);

private:
    // Whether the samples the store holds of `found` are the log's; fills found.elapsed.
    static bool samplesAgree(QSqlDatabase &db, const LoggedRun &log, Found &found, QString *error);
    static bool readSteps(QSqlDatabase &db, Found &found, QString *error);
};
