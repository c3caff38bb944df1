#include "store/SqlSchemaTarget.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

bool SqlSchemaTarget::isServer() const { return m_db.driverName() == QLatin1String("QPSQL"); }

bool SqlSchemaTarget::exec(const QString &sql, QString *error)
{
    QSqlQuery query(m_db);
    if (query.exec(sql))
        return true;
    *error = query.lastError().text();
    return false;
}

bool SqlSchemaTarget::number(const QString &sql, int *value, QString *error)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql) || !query.next()) {
        *error = query.lastError().text();
        return false;
    }
    *value = query.value(0).toInt();
    return true;
}

bool SqlSchemaTarget::texts(const QString &sql, QStringList *values, QString *error)
{
    QSqlQuery query(m_db);
    if (!query.exec(sql)) {
        *error = query.lastError().text();
        return false;
    }
    values->clear();
    while (query.next())
        values->append(query.value(0).toString());
    return true;
}

bool SqlSchemaTarget::hasTable(const QString &name) { return m_db.tables().contains(name); }

bool SqlSchemaTarget::begin(QString *error)
{
    if (m_db.transaction())
        return true;
    *error = m_db.lastError().text();
    return false;
}

bool SqlSchemaTarget::commit(QString *error)
{
    if (m_db.commit())
        return true;
    *error = m_db.lastError().text();
    return false;
}

void SqlSchemaTarget::rollback() { m_db.rollback(); }
