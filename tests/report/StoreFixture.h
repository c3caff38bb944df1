#pragma once

#include "store/StoreSchema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTest>

// A run store as a station leaves it, made by SQL statements on a new file: the tests read stores
// without running anything.
namespace StoreFixture {

inline void write(const QString &path, const QStringList &statements)
{
    const QString connection = QStringLiteral("StoreFixture");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QString error;
        QVERIFY2(StoreSchema::migrate(db, &error) >= 0, qPrintable(error));
        QSqlQuery query(db);
        for (const QString &statement : statements)
            QVERIFY2(query.exec(statement), qPrintable(statement + u'\n' + query.lastError().text()));
    }
    QSqlDatabase::removeDatabase(connection);
}

// A run's row; `result` "" for a run that never ended.
inline QString run(const QString &uuid, const QString &started, const QString &result,
    const QString &program = QStringLiteral("/lab/programs/cell.TSF"), const QString &model = QStringLiteral("6312C"),
    const QString &station = QStringLiteral("Bench 1"))
{
    return QStringLiteral("INSERT INTO runs (uuid, program_name, program_text, model, rated_current, "
                          "settings_text, station, started, ended, result, message) VALUES ('%1', '%2', "
                          "'StepNo.,Function\r\n1,Discharge\r\n', '%3', '60', "
                          "'[System]\r\nMeasureTime=100\r\n', '%4', '%5', '%6', '%7', '%8')")
        .arg(uuid, program, model, station, started, result.isEmpty() ? QString() : started, result,
            result == u"FAIL" ? QStringLiteral("step 2 failed") : QString());
}

// `count` samples of a battery drawn at 2 A, 0.1 s apart, in step `step`, numbered from `from`.
inline QString samples(const QString &uuid, int from, int count, int step)
{
    return QStringLiteral("WITH RECURSIVE n(k) AS (SELECT %2 UNION ALL SELECT k + 1 FROM n WHERE k < %3) "
                          "INSERT INTO samples SELECT '%1', k, k * 0.1, 12.6 - k * 0.0002, 2, 2 * (12.6 - k * 0.0002), "
                          "k * 0.1 * 2 / 3600, k * 0.1 * 25 / 3600, %4 FROM n")
        .arg(uuid)
        .arg(from)
        .arg(from + count - 1)
        .arg(step);
}

} // namespace StoreFixture
