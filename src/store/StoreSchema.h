#pragma once

#include <QString>
#include <QVersionNumber>
#include <optional>

class QSqlDatabase;
class SchemaTarget;

// The run store's tables and how a file of any earlier version is brought to the current one.
// The statements keep to what SQLite and PostgreSQL both take, so that a lab's mirror can be made
// with the very same migrations.
//
// Table schema_version numbers the migrations a program must know to write the tables; table
// schema_additions those that only add what a program of an earlier version may leave NULL. So a
// bench of an earlier version goes on forwarding to a server that a later one brought up. Table
// schema_writers names the oldest program version that may still write the tables: a program
// writes to tables of a later version than it knows as long as it is not older than that.
class StoreSchema
{
public:
    // The version the migrations lead to.
    static int latestVersion();
    // The version a database is at, additions included; 0 for one the store never touched.
    static int version(QSqlDatabase &db, QString *error = nullptr);
    static int version(SchemaTarget &db, QString *error = nullptr);
    // Applies the migrations the database lacks, each in a transaction of its own together with
    // the new version number; refuses a database that needs a later program to write it. The
    // number applied, or -1 with `error` set.
    static int migrate(QSqlDatabase &db, QString *error);
    static int migrate(SchemaTarget &db, QString *error);
    // This program's version, which schema_writers is checked against.
    static QVersionNumber programVersion();
    // The oldest program version the database lets write to it; a null version for a database
    // from before that rule. Nothing, with `error` set, when it cannot be read.
    static std::optional<QVersionNumber> oldestWriter(SchemaTarget &db, QString *error);

private:
    static int migrateUnlocked(SchemaTarget &db, QString *error);
};
