#pragma once

#include "store/SchemaTarget.h"

class PgConnection;

// A lab server's libpq connection for the store's migrations.
class PgSchemaTarget : public SchemaTarget
{
public:
    explicit PgSchemaTarget(PgConnection &connection) : m_connection(connection) { }

    bool isServer() const override { return true; }
    bool exec(const QString &sql, QString *error) override;
    bool number(const QString &sql, int *value, QString *error) override;
    bool texts(const QString &sql, QStringList *values, QString *error) override;
    bool hasTable(const QString &name) override;
    bool begin(QString *error) override;
    bool commit(QString *error) override;
    void rollback() override;

private:
    PgConnection &m_connection;
};
