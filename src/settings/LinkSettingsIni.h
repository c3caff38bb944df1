#pragma once

#include "link/LinkSettings.h"
#include "settings/IniFile.h"

#include <QStringList>
#include <QStringView>

// The transport keys of one instrument link in a section of the settings file ("Load Option" or
// "AFG Option"), from "ConnectMode" to "LanPort".
namespace LinkSettingsIni {

inline constexpr qint32 MinLanPort = 1;
inline constexpr qint32 MaxLanPort = 65535;

// Reads the keys in the order "ConnectMode", "BaudRate", "HandShake", "COMPort", "BoardNo", "Address",
// "LanIP1" to "LanIP4", "LanPort"; a missing or unusable value takes its field from `defaults`. A
// "LanPort" that is there but no port number is refused: the field is 0, no port at all, and a
// message naming the key and its value goes to `problems`. The default port may be another
// instrument's, or nobody's.
LinkSettings read(
    const IniFile &ini, QStringView section, const LinkSettings &defaults, QStringList *problems = nullptr);

// The connection dialog writes "Address" before "BoardNo"; the order matters only for keys that are
// new to the file, which are appended in the order written.
enum class WriteOrder { BoardFirst, AddressFirst };

// Writes the keys in the order in which they are read, "BoardNo" and "Address" as `order` says; a
// "LanPort" that is no port (one refused when read) is not written.
void write(IniFile &ini, QStringView section, const LinkSettings &link, WriteOrder order = WriteOrder::BoardFirst);

} // namespace LinkSettingsIni
