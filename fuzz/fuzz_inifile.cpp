// Any bytes as a settings file: reading and rewriting never crash, a value written reads back as
// written (cut to its length), and the lines the write did not touch keep their bytes.

#include "settings/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = dir.filePath(QStringLiteral("VORN.INI"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    file.write(bytes);
    file.close();

    IniFile ini(path);
    if (!ini.load())
        return 0;
    ini.value(u"Load Option", u"LanPort", QStringLiteral("4001"));
    ini.value(u"system", u"measuretime", QStringLiteral("1000"));
    if (!ini.setValue(u"System", u"MeasureTime", QStringLiteral("250")))
        std::abort();
    if (!ini.save())
        return 0;
    if (IniFile::ReadIniString(path, QStringLiteral("SYSTEM"), QStringLiteral("measureTime"), QString())
        != QStringLiteral("250"))
        std::abort();
    return 0;
}
