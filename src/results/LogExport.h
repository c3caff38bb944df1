#pragma once

#include <QDateTime>
#include <QString>

// "Save Log": a copy of the run's log file under a name the operator chooses. The copy takes the
// file as it stands, also while a run is still writing it.
namespace LogExport {

// The proposed name: the date and time as YYYYMMDD-HHMMSS with ".CSV", in the given folder, so
// that the runs of one day each get a name of their own.
QString proposedPath(const QString &folder, const QDateTime &now);

// Copies `logPath` over `targetPath` (replacing it whole or not at all). Returns an empty text on
// success, else the path and the reason.
QString copyLog(const QString &logPath, const QString &targetPath);

// Where the run's summary goes beside a saved log: the same name with ".json" for its extension.
// Never the log's own name, so the summary cannot take the log's place.
QString summaryPathFor(const QString &csvTarget);

} // namespace LogExport
