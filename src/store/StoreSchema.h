#pragma once

#include <QString>

class QSqlDatabase;

// The run store's tables and how a file of any earlier version is brought to the current one.
// The statements keep to what SQLite and PostgreSQL both take, so that a lab's mirror can be made
// with the very same migrations.
class StoreSchema
{
public:
    // The version the migrations lead to.
    static int latestVersion();
    // The version a database is at; 0 for one the store never touched.
    static int version(QSqlDatabase &db, QString *error = nullptr);
    // Applies the migrations the database lacks, each in a transaction of its own together with
    // the new version number. The number applied, or -1 with `error` set.
    static int migrate(QSqlDatabase &db, QString *error);

private:
    static int migrateUnlocked(QSqlDatabase &db, QString *error);
};
