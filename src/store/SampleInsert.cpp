#include "store/SampleInsert.h"

#include "store/SampleColumns.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <sqlite3.h>

bool SampleInsert::prepare(const QSqlDatabase &db, QString *error)
{
    finish();
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        *error = QStringLiteral("the store's connection gives no SQLite handle");
        return false;
    }
    m_db = *static_cast<sqlite3 *const *>(handle.constData());
    QByteArray sql = "INSERT INTO samples (run_uuid, seq, " + SampleColumns::names() + ", step) VALUES (?, ?";
    for (std::size_t k = 0; k <= SampleColumns::Figures.size(); ++k)
        sql += ", ?";
    sql += ')';
    if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &m_statement, nullptr) == SQLITE_OK)
        return true;
    *error = QString::fromUtf8(sqlite3_errmsg(m_db));
    finish();
    return false;
}

void SampleInsert::finish()
{
    if (m_statement)
        sqlite3_finalize(m_statement);
    m_statement = nullptr;
    m_db = nullptr;
}

bool SampleInsert::insert(const QString &runUuid, qint64 seq, const Sample &reading, QString *error)
{
    if (runUuid != m_uuid) {
        m_uuid = runUuid;
        m_uuidUtf8 = runUuid.toUtf8();
    }
    sqlite3_bind_text(m_statement, 1, m_uuidUtf8.constData(), int(m_uuidUtf8.size()), SQLITE_STATIC);
    sqlite3_bind_int64(m_statement, 2, seq);
    int parameter = 3;
    for (const SampleColumns::Column &column : SampleColumns::Figures)
        sqlite3_bind_double(m_statement, parameter++, reading.*column.figure);
    sqlite3_bind_int(m_statement, parameter, reading.step);
    const int stepped = sqlite3_step(m_statement);
    sqlite3_reset(m_statement);
    if (stepped == SQLITE_DONE)
        return true;
    *error = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}
