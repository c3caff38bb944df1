#include "TestFiles.h"
#include "TinyDisk.h"
#include "model/TestProgram.h"
#include "model/TestStepFile.h"
#include "settings/IniFile.h"

#include <QTest>

// On a full disk a file that cannot be written whole keeps its old content, and the caller hears
// of it: the settings file written at every Run, the test step file written when the window closes.
class TestWholeFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("settings file") << "VORN.INI";
        QTest::newRow("test step file") << "TempTestFile.TSF";
    }
    void fullDiskKeepsTheOldFile()
    {
        QFETCH(QString, name);
        TinyDisk disk(16);
        if (!disk.isMounted())
            QSKIP("a tmpfs cannot be mounted here");
        const QString path = disk.filePath(name);
        const QByteArray old = name.endsWith(u".INI") ? QByteArray("[System]\r\nMeasureTime=1000\r\n")
                                                      : TestFiles::crlfLines({"header", "1,Rest,,,,5"});
        TestFiles::writeBytes(path, old);
        disk.fill();

        bool saved = true;
        if (name.endsWith(u".INI")) {
            IniFile ini(path);
            QVERIFY(ini.load());
            ini.setValue(u"System", u"MeasureTime", QStringLiteral("250"));
            saved = ini.save();
        } else {
            TestProgram program;
            QVERIFY(TestStepFile::LoadTestFile(program, path).ok);
            program.setCell(1, 5, QStringLiteral("10"));
            const TestStepFile::Result result = TestStepFile::SaveTestFile(program, path);
            saved = result.ok;
            QVERIFY(result.message.contains(path));
        }
        QVERIFY(!saved);
        QCOMPARE(TestFiles::readBytes(path), old);
        QCOMPARE(QDir(disk.filePath(QString())).entryList(QDir::Files), QStringList{name});
    }
};

QTEST_GUILESS_MAIN(TestWholeFile)
#include "tst_wholefile.moc"
