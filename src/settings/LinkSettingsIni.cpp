#include "settings/LinkSettingsIni.h"

#include "model/NumberText.h"
#include "settings/IniNumber.h"

namespace LinkSettingsIni {

namespace {

qint32 readLanPort(const IniFile &ini, QStringView section, qint32 defaultPort, QStringList *problems)
{
    const QString text = ini.value(section, u"LanPort", QString::number(defaultPort));
    const std::optional<double> number = NumberText::strict(text);
    const std::optional<qint32> port = number ? NumberText::toInt32(*number) : std::nullopt;
    if (port && *port >= MinLanPort && *port <= MaxLanPort)
        return *port;
    if (problems)
        problems->append(
            QStringLiteral("%1: [%2] LanPort=%3 is not a port number (%4 to %5): no LAN connection is "
                           "made until it is set right")
                .arg(ini.path(), section.toString(), text, QString::number(MinLanPort), QString::number(MaxLanPort)));
    return 0;
}

} // namespace

LinkSettings read(const IniFile &ini, QStringView section, const LinkSettings &defaults, QStringList *problems)
{
    using namespace IniNumber;
    LinkSettings link;
    link.ConnectMode = readInt16(ini, section, u"ConnectMode", defaults.ConnectMode);
    link.BaudRate = readInt32(ini, section, u"BaudRate", defaults.BaudRate);
    link.HandShake = readInt16(ini, section, u"HandShake", defaults.HandShake);
    link.COMPort = ini.value(section, u"COMPort", defaults.COMPort);
    link.BoardNo = readInt16(ini, section, u"BoardNo", defaults.BoardNo);
    link.Address = readInt16(ini, section, u"Address", defaults.Address);
    link.LanIP1 = readInt16(ini, section, u"LanIP1", defaults.LanIP1);
    link.LanIP2 = readInt16(ini, section, u"LanIP2", defaults.LanIP2);
    link.LanIP3 = readInt16(ini, section, u"LanIP3", defaults.LanIP3);
    link.LanIP4 = readInt16(ini, section, u"LanIP4", defaults.LanIP4);
    link.LanPort = readLanPort(ini, section, defaults.LanPort, problems);
    return link;
}

void write(IniFile &ini, QStringView section, const LinkSettings &link, WriteOrder order)
{
    ini.setValue(section, u"ConnectMode", QString::number(link.ConnectMode));
    ini.setValue(section, u"BaudRate", QString::number(link.BaudRate));
    ini.setValue(section, u"HandShake", QString::number(link.HandShake));
    ini.setValue(section, u"COMPort", link.COMPort);
    if (order == WriteOrder::AddressFirst) {
        ini.setValue(section, u"Address", QString::number(link.Address));
        ini.setValue(section, u"BoardNo", QString::number(link.BoardNo));
    } else {
        ini.setValue(section, u"BoardNo", QString::number(link.BoardNo));
        ini.setValue(section, u"Address", QString::number(link.Address));
    }
    ini.setValue(section, u"LanIP1", QString::number(link.LanIP1));
    ini.setValue(section, u"LanIP2", QString::number(link.LanIP2));
    ini.setValue(section, u"LanIP3", QString::number(link.LanIP3));
    ini.setValue(section, u"LanIP4", QString::number(link.LanIP4));
    // A port refused when read is left in the file as written, to be named again until it is set right.
    if (link.LanPort >= MinLanPort && link.LanPort <= MaxLanPort)
        ini.setValue(section, u"LanPort", QString::number(link.LanPort));
}

} // namespace LinkSettingsIni
