#include "CommandArguments.h"

CommandArguments::CommandArguments(
    const QStringList &arguments, const QStringList &optionsWithValue, const QStringList &flags)
{
    for (qsizetype i = 0; i < arguments.size() && m_error.isEmpty(); ++i) {
        const QString &argument = arguments.at(i);
        // "-" alone is a file name: standard output.
        if (!argument.startsWith(u'-') || argument == u"-") {
            m_positional.append(argument);
        } else if (flags.contains(argument)) {
            if (m_values.contains(argument))
                m_error = QStringLiteral("%1 given twice").arg(argument);
            m_values.insert(argument, QString());
        } else if (!optionsWithValue.contains(argument)) {
            m_error = QStringLiteral("unknown option %1").arg(argument);
        } else if (i + 1 >= arguments.size()) {
            m_error = QStringLiteral("%1 needs a value").arg(argument);
        } else if (m_values.contains(argument)) {
            m_error = QStringLiteral("%1 given twice").arg(argument);
        } else {
            m_values.insert(argument, arguments.at(++i));
        }
    }
}
