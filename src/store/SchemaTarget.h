#pragma once

#include <QString>
#include <QStringList>

// A database the store's migrations are run on: a bench's SQLite file or a lab's PostgreSQL
// server, so that both are made by the very same statements.
class SchemaTarget
{
public:
    virtual ~SchemaTarget() = default;

    // PostgreSQL: the lab's server, which keeps some things in types of its own.
    virtual bool isServer() const = 0;
    virtual bool exec(const QString &sql, QString *error) = 0;
    // The first column of the statement's first row, as a whole number (0 when it is NULL).
    virtual bool number(const QString &sql, int *value, QString *error) = 0;
    // The first column of every row of the statement, as text.
    virtual bool texts(const QString &sql, QStringList *values, QString *error) = 0;
    virtual bool hasTable(const QString &name) = 0;
    virtual bool begin(QString *error) = 0;
    virtual bool commit(QString *error) = 0;
    virtual void rollback() = 0;
};
