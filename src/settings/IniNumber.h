#pragma once

#include "settings/IniFile.h"

#include <QStringView>
#include <QtGlobal>
#include <limits>

// Integer keys of a profile file. The whole value is read as a number and rounded to the nearest
// integer, halves to even (2.5 gives 2, 3.5 gives 4). A value that is not a number, or whose integer
// lies outside [minimum, maximum], gives the default: the file keeps it until the next write.
namespace IniNumber {

qint16 readInt16(const IniFile &ini, QStringView section, QStringView key, qint16 defaultValue,
    qint16 minimum = std::numeric_limits<qint16>::min(), qint16 maximum = std::numeric_limits<qint16>::max());
qint32 readInt32(const IniFile &ini, QStringView section, QStringView key, qint32 defaultValue,
    qint32 minimum = std::numeric_limits<qint32>::min(), qint32 maximum = std::numeric_limits<qint32>::max());

} // namespace IniNumber
