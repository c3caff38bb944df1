#pragma once

#include "store/StoreServer.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

// The rows of one query on a store's file, each row's columns joined by '|'; a query that fails
// gives its error as the one row. The file is opened read-only, beside the store's own connection.
inline QStringList storeRows(const QString &path, const QString &sql)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(sql, db);
            if (query.lastError().isValid())
                rows.append(query.lastError().text());
            while (query.next()) {
                QStringList cells;
                for (int column = 0; column < query.record().count(); ++column)
                    cells.append(query.value(column).toString());
                rows.append(cells.join(u'|'));
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return rows;
}

// Each statement on a lab server in turn; the rows of the last one as storeRows() gives them, or
// "ERROR: " and the first statement's error.
inline QStringList serverRows(const StoreServer &server, const QStringList &statements)
{
    QStringList rows;
    {
        QSqlDatabase db = server.addConnection(QStringLiteral("check server"));
        if (!db.open())
            rows.append(QStringLiteral("ERROR: ") + db.lastError().text());
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            if (!rows.isEmpty() && rows.first().startsWith(QStringLiteral("ERROR: ")))
                break;
            rows.clear();
            if (!query.exec(statement)) {
                rows.append(QStringLiteral("ERROR: ") + query.lastError().text());
                break;
            }
            while (query.next()) {
                QStringList cells;
                for (int column = 0; column < query.record().count(); ++column)
                    cells.append(query.value(column).toString());
                rows.append(cells.join(u'|'));
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check server"));
    return rows;
}
