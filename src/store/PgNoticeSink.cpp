#include "store/PgNoticeSink.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <libpq-fe.h>

namespace {

void dropNotice(void *, const char *) { }

} // namespace

void PgNoticeSink::quiet(QSqlDatabase &db)
{
    // QPSQL names the handle's type by the struct behind libpq's typedef.
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return;
    if (PGconn *connection = *static_cast<PGconn *const *>(handle.constData()))
        PQsetNoticeProcessor(connection, &dropNotice, nullptr);
}
