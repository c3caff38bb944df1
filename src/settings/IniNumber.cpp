#include "settings/IniNumber.h"

#include "model/NumberText.h"

namespace IniNumber {

qint16 readInt16(
    const IniFile &ini, QStringView section, QStringView key, qint16 defaultValue, qint16 minimum, qint16 maximum)
{
    return qint16(readInt32(ini, section, key, defaultValue, minimum, maximum));
}

qint32 readInt32(
    const IniFile &ini, QStringView section, QStringView key, qint32 defaultValue, qint32 minimum, qint32 maximum)
{
    const auto number = NumberText::strict(ini.value(section, key, QString::number(defaultValue)));
    if (!number)
        return defaultValue;
    const auto value = NumberText::toInt32(*number);
    if (!value || *value < minimum || *value > maximum)
        return defaultValue;
    return *value;
}

} // namespace IniNumber
