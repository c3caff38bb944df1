#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The words after a command's name: its options, each with a value (or, for a flag, without) and
// each at most once, and the words that are not options, in order.
class CommandArguments
{
public:
    CommandArguments(const QStringList &arguments, const QStringList &optionsWithValue, const QStringList &flags = {});

    // Empty when the words fit, else why not.
    QString error() const { return m_error; }
    bool has(const QString &option) const { return m_values.contains(option); }
    QString value(const QString &option) const { return m_values.value(option); }
    const QStringList &positional() const { return m_positional; }

private:
    QHash<QString, QString> m_values;
    QStringList m_positional;
    QString m_error;
};
