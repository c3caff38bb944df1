#pragma once

class QSqlDatabase;

// Keeps the server's notices on a Qt PostgreSQL connection off stderr: libpq writes them there
// unless told otherwise, and a notice of a server going down would land raw in a terminal view
// such as `vornic-runs lab --watch`, whose own message says the connection was lost.
class PgNoticeSink
{
public:
    // For an open QPSQL connection; other connections are left as they are.
    static void quiet(QSqlDatabase &db);
};
