#include "store/PgCopyRows.h"

#include "store/PgParams.h"

#include <QtEndian>
#include <bit>

PgCopyRows::PgCopyRows(int reserveBytes)
{
    m_bytes.reserve(reserveBytes + 32);
    // Signature, flags (no OIDs), and an empty header extension.
    m_bytes.append("PGCOPY\n\377\r\n\0", 11);
    put(qint32(0));
    put(qint32(0));
}

template <typename Number> void PgCopyRows::put(Number value)
{
    char bytes[sizeof value];
    qToBigEndian(value, bytes);
    m_bytes.append(bytes, qsizetype(sizeof value));
}

void PgCopyRows::startRow(qint16 fields) { put(fields); }

void PgCopyRows::text(const QString &value)
{
    const QByteArray utf8 = PgParams::withoutNul(value).toUtf8();
    put(qint32(utf8.size()));
    m_bytes.append(utf8);
}

void PgCopyRows::int4(qint32 value)
{
    put(qint32(sizeof value));
    put(value);
}

void PgCopyRows::float8(double value)
{
    put(qint32(sizeof value));
    put(std::bit_cast<quint64>(value));
}

void PgCopyRows::null() { put(qint32(-1)); }

QByteArray PgCopyRows::finished()
{
    put(qint16(-1));
    return std::move(m_bytes);
}
