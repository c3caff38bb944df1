#include "settings/IniFile.h"

#include "TestFiles.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <QTest>

namespace { } // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray file = "[Load Option]\r\nCOMPort=3\r\nEmpty=\r\n[System]\r\nSeparate=;\r\n";
        QTest::newRow("present") << file << "System"
                                 << "Separate"
                                 << ";";
        QTest::newRow("missing key") << file << "System"
                                     << "MeasureTime"
                                     << "default";
        QTest::newRow("missing section") << file << "VORN"
                                         << "COMPort"
                                         << "default";
        QTest::newRow("key of another section") << file << "System"
                                                << "COMPort"
                                                << "default";
        QTest::newRow("empty value is not the default") << file << "Load Option"
                                                        << "Empty"
                                                        << "";
        QTest::newRow("names without regard to case") << file << "LOAD OPTION"
                                                      << "comport"
                                                      << "3";
        QTest::newRow("no file") << QByteArray() << "System"
                                 << "Separate"
                                 << "default";
        QTest::newRow("LF line ends") << QByteArray("[A]\nk=v\n") << "A"
                                      << "k"
                                      << "v";
        QTest::newRow("no line end at the end") << QByteArray("[A]\r\nk=v") << "A"
                                                << "k"
                                                << "v";
        QTest::newRow("blanks around names and value") << QByteArray("  [ A ]  \r\n  k  =  a b  \r\n") << "A"
                                                       << "k"
                                                       << "a b";
        QTest::newRow("enclosing quotes removed") << QByteArray("[A]\r\nk=\"a b\"\r\n") << "A"
                                                  << "k"
                                                  << "a b";
        QTest::newRow("single quote kept") << QByteArray("[A]\r\nk=\"a\r\n") << "A"
                                           << "k"
                                           << "\"a";
        QTest::newRow("comment is no key") << QByteArray("[A]\r\n;k=1\r\n") << "A"
                                           << ";k"
                                           << "default";
        QTest::newRow("key before any section") << QByteArray("k=1\r\n[A]\r\n") << "A"
                                                << "k"
                                                << "default";
        QTest::newRow("first of two keys") << QByteArray("[A]\r\nk=1\r\nK=2\r\n") << "A"
                                           << "k"
                                           << "1";
        QTest::newRow("equals in value") << QByteArray("[A]\r\nk=a=b\r\n") << "A"
                                         << "k"
                                         << "a=b";
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF[A]\r\nk=1\r\n") << "A"
                                         << "k"
                                         << "1";
        QTest::newRow("UTF-8 value") << QByteArray("[A]\r\nk=Messung \xC3\xBC\r\n") << "A"
                                     << "k" << QString::fromUtf8("Messung \xC3\xBC");
        QTest::newRow("254 characters") << "[A]\r\nk=" + QByteArray(300, 'x') + "\r\n"
                                        << "A"
                                        << "k" << QString(254, u'x');
    }
    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        if (!content.isNull())
            TestFiles::writeBytes(path, content);
        QCOMPARE(IniFile::ReadIniString(path, section, key, QStringLiteral("default")), expected);
    }

    void defaultIsCutToo()
    {
        QTemporaryDir dir;
        const QString value = IniFile::ReadIniString(
            dir.filePath(QStringLiteral("none.ini")), QStringLiteral("A"), QStringLiteral("k"), QString(300, u'd'));
        QCOMPARE(value.size(), 254);
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<QStringList>>("writes");
        QTest::addColumn<QByteArray>("expected");
        const auto w = [](const char *section, const char *key, const QString &value) {
            return QStringList{QString::fromUtf8(section), QString::fromUtf8(key), value};
        };
        QTest::newRow("new file in the order written")
            << QByteArray() << QList<QStringList>{w("B", "k1", "1"), w("A", "k2", "2"), w("B", "k3", "3")}
            << QByteArray("[B]\r\nk1=1\r\nk3=3\r\n[A]\r\nk2=2\r\n");
        QTest::newRow("value replaced in place, rest kept")
            << QByteArray("; top\r\n[A]\r\nx=0\r\nk = old\r\ny=1\r\n\r\n[B]\r\n")
            << QList<QStringList>{w("A", "k", "new")}
            << QByteArray("; top\r\n[A]\r\nx=0\r\nk=new\r\ny=1\r\n\r\n[B]\r\n");
        QTest::newRow("new key after the section's last key")
            << QByteArray("[A]\r\nx=0\r\n\r\n; about B\r\n[B]\r\ny=1\r\n") << QList<QStringList>{w("A", "k", "1")}
            << QByteArray("[A]\r\nx=0\r\nk=1\r\n\r\n; about B\r\n[B]\r\ny=1\r\n");
        QTest::newRow("new key in an empty section")
            << QByteArray("[A]\r\n[B]\r\n") << QList<QStringList>{w("A", "k", "1")}
            << QByteArray("[A]\r\nk=1\r\n[B]\r\n");
        QTest::newRow("names without regard to case, file's spelling kept")
            << QByteArray("[load option]\r\ncomport=1\r\n") << QList<QStringList>{w("Load Option", "COMPort", "2")}
            << QByteArray("[load option]\r\ncomport=2\r\n");
        QTest::newRow("LF file written with CR LF, missing last line end added")
            << QByteArray("[A]\nx=0\n[B]\ny=1") << QList<QStringList>{w("C", "z", "2")}
            << QByteArray("[A]\r\nx=0\r\n[B]\r\ny=1\r\n[C]\r\nz=2\r\n");
        QTest::newRow("value cut to 254 characters")
            << QByteArray() << QList<QStringList>{w("A", "k", QString(300, u'v'))}
            << "[A]\r\nk=" + QByteArray(254, 'v') + "\r\n";
        QTest::newRow("line breaks cannot add lines")
            << QByteArray() << QList<QStringList>{w("A", "k", QStringLiteral("a\r\n[B]\nx=1"))}
            << QByteArray("[A]\r\nk=a  [B] x=1\r\n");
        QTest::newRow("bytes that are not UTF-8 survive")
            << QByteArray("; caf\xE9\r\n[A]\r\nname=caf\xE9.tsf\r\nk=0\r\n\xFF\xFE\r\n")
            << QList<QStringList>{w("A", "k", "1"), w("A", "name", QStringLiteral("caf\uFFFD.tsf"))}
            << QByteArray("; caf\xE9\r\n[A]\r\nname=caf\xE9.tsf\r\nk=1\r\n\xFF\xFE\r\n");
        QTest::newRow("unchanged value keeps its spelling")
            << QByteArray("[A]\r\nk = \"1\"\r\n") << QList<QStringList>{w("A", "k", "1")}
            << QByteArray("[A]\r\nk = \"1\"\r\n");
        QTest::newRow("byte order mark kept")
            << QByteArray("\xEF\xBB\xBF[A]\r\nk=0\r\n") << QList<QStringList>{w("A", "k", "1")}
            << QByteArray("\xEF\xBB\xBF[A]\r\nk=1\r\n");
        QTest::newRow("UTF-8 written") << QByteArray() << QList<QStringList>{w("A", "k", QStringLiteral("\u00fc"))}
                                       << QByteArray("[A]\r\nk=\xC3\xBC\r\n");
    }
    void write()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<QStringList>, writes);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        if (!content.isNull())
            TestFiles::writeBytes(path, content);
        for (const QStringList &write : std::as_const(writes))
            QVERIFY(IniFile::WriteIniString(path, write[0], write[1], write[2]));
        QCOMPARE(TestFiles::readBytes(path), expected);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("VORN.INI")});
    }

    void failedWriteLeavesEverythingAsItWas_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("read-only folder") << "read-only folder";
        QTest::newRow("folder is a file") << "folder is a file";
        QTest::newRow("folder missing") << "folder missing";
        QTest::newRow("path is a folder") << "path is a folder";
        QTest::newRow("section name with a bracket") << "bad section";
        QTest::newRow("key name with an equals sign") << "bad key";
    }
    void failedWriteLeavesEverythingAsItWas()
    {
        QFETCH(QString, where);
        QTemporaryDir dir;
        const QByteArray before("[A]\r\nk=0\r\n");
        QString path = dir.filePath(QStringLiteral("VORN.INI"));
        QString section = QStringLiteral("A");
        QString key = QStringLiteral("k");
        TestFiles::writeBytes(path, before);
        if (where == u"read-only folder") {
            QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            QFile probe(dir.filePath(QStringLiteral("probe")));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QFile::setPermissions(
                    dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
                QSKIP("permissions are not enforced for this user");
            }
        } else if (where == u"folder is a file") {
            path = path + QStringLiteral("/VORN.INI");
        } else if (where == u"folder missing") {
            path = dir.filePath(QStringLiteral("missing/VORN.INI"));
        } else if (where == u"path is a folder") {
            path = dir.filePath(QStringLiteral("sub"));
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        } else if (where == u"bad section") {
            section = QStringLiteral("A]x");
        } else {
            key = QStringLiteral("k=x");
        }
        const QStringList entries = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY(!IniFile::WriteIniString(path, section, key, QStringLiteral("1")));
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(TestFiles::readBytes(dir.filePath(QStringLiteral("VORN.INI"))), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), entries);
    }

    void permissionsKept()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(path, "[A]\r\n");
        const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        QVERIFY(QFile::setPermissions(path, owner));
        QVERIFY(IniFile::WriteIniString(path, QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("1")));
        QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), owner);
    }

    void unreadableFileIsNotReplaced()
    {
        QTemporaryDir dir;
        IniFile ini(dir.path());
        QVERIFY(!ini.load());
        QVERIFY(ini.setValue(u"A", u"k", QStringLiteral("1")));
        QVERIFY(!ini.save());
        QVERIFY(QFileInfo(dir.path()).isDir());
    }

    void manySectionsAndKeys()
    {
        QTemporaryDir dir;
        IniFile ini(dir.filePath(QStringLiteral("big.ini")));
        for (int i = 0; i < 2000; ++i)
            QVERIFY(
                ini.setValue(QStringLiteral("S%1").arg(i % 20), QStringLiteral("key%1").arg(i), QString::number(i)));
        QVERIFY(ini.save());
        IniFile again(ini.path());
        QVERIFY(again.load());
        QCOMPARE(again.value(u"s7", u"KEY1987", QString()), QStringLiteral("1987"));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
