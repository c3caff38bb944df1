#include "store/RunLogMatch.h"

#include "model/NumberText.h"
#include "results/ResultLog.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cmath>
#include <limits>

namespace {

QString isoText(const QDateTime &when) { return when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")); }

bool run(QSqlQuery &query, QString *error)
{
    if (query.exec())
        return true;
    *error = query.lastError().text();
    return false;
}

// A figure the run wrote with NumberText::shortest, and V and I read from the load's own text.
bool sameFigures(const QStringList &cells, const QSqlQuery &stored)
{
    for (const int column : {ResultLog::V, ResultLog::I}) {
        const QString &cell = cells.at(column);
        if (!cell.isEmpty() && NumberText::lenient(cell) != stored.value(column - ResultLog::V + 2).toDouble())
            return false;
    }
    for (const int column : {ResultLog::W, ResultLog::AH, ResultLog::WH}) {
        const QString &cell = cells.at(column);
        if (!cell.isEmpty() && NumberText::shortest(stored.value(column - ResultLog::V + 2).toDouble()) != cell)
            return false;
    }
    return true;
}

} // namespace

std::optional<RunLogMatch::Found> RunLogMatch::find(QSqlDatabase &db, const LoggedRun &log, QString *error)
{
    if (log.rows().isEmpty())
        return std::nullopt;
    const QDateTime first = log.rows().first().made;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT uuid, started, ended, sample_count, program_text FROM runs WHERE started >= "
                                 "? AND started < ? ORDER BY started DESC"));
    query.addBindValue(isoText(first.addSecs(-StartWindowSeconds)));
    query.addBindValue(isoText(first.addSecs(1)));
    if (!run(query, error))
        return std::nullopt;
    QList<Found> candidates;
    while (query.next()) {
        Found found;
        found.uuid = query.value(0).toString();
        found.started = QDateTime::fromString(query.value(1).toString(), Qt::ISODateWithMs);
        const QDateTime ended = QDateTime::fromString(query.value(2).toString(), Qt::ISODateWithMs);
        found.ended = ended.isValid();
        if (!query.isNull(3))
            found.samplesMade = query.value(3).toLongLong();
        found.programText = query.value(4).toString();
        // Its rows fall within it, and it made at least the log's samples.
        if ((found.ended && log.lastRowMade() > ended)
            || found.samplesMade.value_or(std::numeric_limits<qint64>::max()) < log.sampleCount())
            continue;
        candidates.append(found);
    }
    for (Found &found : candidates) {
        if (!samplesAgree(db, log, found, error)) {
            if (!error->isEmpty())
                return std::nullopt;
            continue;
        }
        if (!readSteps(db, found, error))
            return std::nullopt;
        return found;
    }
    return std::nullopt;
}

bool RunLogMatch::samplesAgree(QSqlDatabase &db, const LoggedRun &log, Found &found, QString *error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT seq, elapsed_s, v, i, w, ah, wh FROM samples WHERE run_uuid = ? ORDER BY seq"));
    query.addBindValue(found.uuid);
    if (!run(query, error))
        return false;
    found.elapsed.clear();
    while (query.next()) {
        const qint64 seq = query.value(0).toLongLong();
        if (seq < 1 || seq > log.sampleCount())
            return false;
        const RunLogReader::Row &row = log.sampleRow(seq);
        const double elapsed = query.value(1).toDouble();
        const QDateTime at = found.started.addMSecs(qint64(std::llround(elapsed * 1000)));
        if (std::abs(at.secsTo(row.made)) > TimeSlackSeconds || !sameFigures(row.cells, query))
            return false;
        found.elapsed.insert(seq, elapsed);
    }
    return true;
}

bool RunLogMatch::readSteps(QSqlDatabase &db, Found &found, QString *error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT step, function FROM steps WHERE run_uuid = ? ORDER BY started, step"));
    query.addBindValue(found.uuid);
    if (!run(query, error))
        return false;
    while (query.next())
        found.steps.append({query.value(0).toInt(), query.value(1).toString()});
    return true;
}
