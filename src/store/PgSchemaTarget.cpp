#include "store/PgSchemaTarget.h"

#include "store/PgConnection.h"
#include "store/PgParams.h"

bool PgSchemaTarget::exec(const QString &sql, QString *error)
{
    const PgResult result = m_connection.exec(sql);
    if (!result.ok())
        *error = result.error();
    return result.ok();
}

bool PgSchemaTarget::number(const QString &sql, int *value, QString *error)
{
    const PgResult result = m_connection.exec(sql);
    if (!result.ok() || result.rows() < 1) {
        *error = result.ok() ? QStringLiteral("no row in answer to: %1").arg(sql) : result.error();
        return false;
    }
    *value = result.text(0, 0).toInt();
    return true;
}

bool PgSchemaTarget::texts(const QString &sql, QStringList *values, QString *error)
{
    const PgResult result = m_connection.exec(sql);
    if (!result.ok()) {
        *error = result.error();
        return false;
    }
    values->clear();
    for (int row = 0; row < result.rows(); ++row)
        values->append(result.text(row, 0));
    return true;
}

bool PgSchemaTarget::hasTable(const QString &name)
{
    // The tables of the schema the connection writes into, as Qt's driver lists them.
    const PgResult result = m_connection.exec(
        QStringLiteral("SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = current_schema() AND tablename = $1"),
        PgParams().text(name));
    return result.rows() > 0;
}

bool PgSchemaTarget::begin(QString *error) { return m_connection.begin(error); }

bool PgSchemaTarget::commit(QString *error) { return m_connection.commit(error); }

void PgSchemaTarget::rollback() { m_connection.rollback(); }
