#include "store/PgParams.h"

#include <QtEndian>
#include <bit>

namespace {

// The server's type numbers (pg_type.oid); 0 lets it read the value as its place needs.
constexpr unsigned int Unknown = 0, Bytea = 17, Int8 = 20, Int4 = 23, Float8 = 701;

template <typename Number> QByteArray bigEndian(Number value)
{
    QByteArray bytes(int(sizeof value), Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

} // namespace

QString PgParams::withoutNul(const QString &value)
{
    if (!value.contains(QChar(0)))
        return value;
    QString kept = value;
    kept.replace(QChar(0), QChar(QChar::ReplacementCharacter));
    return kept;
}

PgParams &PgParams::text(const QString &value) { return add(Unknown, withoutNul(value).toUtf8(), false); }

PgParams &PgParams::null()
{
    add(Unknown, QByteArray(), false);
    m_nulls.back() = true;
    return *this;
}

PgParams &PgParams::int4(qint32 value) { return add(Int4, bigEndian(value), true); }

PgParams &PgParams::int8(qint64 value) { return add(Int8, bigEndian(value), true); }

PgParams &PgParams::float8(double value) { return add(Float8, bigEndian(std::bit_cast<quint64>(value)), true); }

PgParams &PgParams::bytes(const QByteArray &value) { return add(Bytea, value, true); }

PgParams &PgParams::value(const QVariant &value) { return value.isNull() ? null() : text(value.toString()); }

std::vector<const char *> PgParams::pointers() const
{
    std::vector<const char *> pointers;
    pointers.reserve(m_values.size());
    for (size_t at = 0; at < m_values.size(); ++at)
        // An empty QByteArray's data() is "", which the server reads as an empty value, not NULL.
        pointers.push_back(m_nulls[at] ? nullptr : m_values[at].constData());
    return pointers;
}

PgParams &PgParams::add(unsigned int type, QByteArray value, bool binary)
{
    m_lengths.push_back(int(value.size()));
    m_values.push_back(std::move(value));
    m_nulls.push_back(false);
    m_types.push_back(type);
    m_formats.push_back(binary ? 1 : 0);
    return *this;
}
