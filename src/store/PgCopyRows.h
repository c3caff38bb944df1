#pragma once

#include <QByteArray>
#include <QString>

// Rows in PostgreSQL's binary COPY format, for `COPY ... FROM STDIN (FORMAT binary)`: the server
// takes them without parsing a number or planning a statement. Each field must be of its column's
// exact type.
class PgCopyRows
{
public:
    explicit PgCopyRows(int reserveBytes = 0);

    void startRow(qint16 fields);
    void text(const QString &value);
    void int4(qint32 value);
    void float8(double value);
    void null();
    // The rows with the format's trailer; the object takes no rows after it.
    QByteArray finished();

private:
    template <typename Number> void put(Number value);

    QByteArray m_bytes;
};
