#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <vector>

// The values of one statement, passed to the server apart from its text: a quote, a backslash or
// a NUL in a value can never change the statement. Numbers and bytes go in the server's binary
// form; text goes as UTF-8 for the server to read as the column's type.
class PgParams
{
public:
    PgParams &text(const QString &value);
    PgParams &null();
    PgParams &int4(qint32 value);
    PgParams &int8(qint64 value);
    PgParams &float8(double value);
    PgParams &bytes(const QByteArray &value);
    // A value read from SQLite, whose column may hold any type: as text, or NULL.
    PgParams &value(const QVariant &value);

    // PostgreSQL's text holds no NUL character: it becomes U+FFFD, the mark of a character that
    // could not be kept, so that the value's other characters reach the server as they are.
    static QString withoutNul(const QString &value);

    int count() const { return int(m_values.size()); }
    const unsigned int *types() const { return m_types.data(); }
    const int *lengths() const { return m_lengths.data(); }
    const int *formats() const { return m_formats.data(); }
    // Pointers into this object's values; NULL for a NULL value.
    std::vector<const char *> pointers() const;

private:
    PgParams &add(unsigned int type, QByteArray value, bool binary);

    std::vector<QByteArray> m_values;
    std::vector<bool> m_nulls;
    std::vector<unsigned int> m_types;
    std::vector<int> m_lengths, m_formats;
};
