#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

#include <optional>

// Control characters (NUL, TAB, CR, LF, ESC, DEL and the C1 range) in a settings value: a name or
// address that holds one is a file damaged or a value pasted with its line end, never one meant.
class ControlCharacter
{
public:
    static std::optional<QChar> firstIn(QStringView text);
    // "U+0000", for messages: the character itself would not show, or would break the line.
    static QString code(QChar c);
};
