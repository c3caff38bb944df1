#pragma once

#include "store/SchemaTarget.h"

class QSqlDatabase;

// An open Qt SQL connection (the bench's SQLite file, or a reader's server connection) for the
// store's migrations.
class SqlSchemaTarget : public SchemaTarget
{
public:
    explicit SqlSchemaTarget(QSqlDatabase &db) : m_db(db) { }

    bool isServer() const override;
    bool exec(const QString &sql, QString *error) override;
    bool number(const QString &sql, int *value, QString *error) override;
    bool texts(const QString &sql, QStringList *values, QString *error) override;
    bool hasTable(const QString &name) override;
    bool begin(QString *error) override;
    bool commit(QString *error) override;
    void rollback() override;

private:
    QSqlDatabase &m_db;
};
