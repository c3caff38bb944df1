#include "settings/ControlCharacter.h"

std::optional<QChar> ControlCharacter::firstIn(QStringView text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return c;
    }
    return std::nullopt;
}

QString ControlCharacter::code(QChar c)
{
    return QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
}
