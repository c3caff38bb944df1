#include "settings/IniFile.h"
#include "settings/LinkSettingsIni.h"
#include "settings/MeasureOptions.h"
#include "settings/ProgramFolder.h"
#include "settings/Settings.h"

#include "TestFiles.h"
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <QTest>
#include <functional>

namespace {

// The file that SaveSettings writes from the defaults, with the report folder given.
QByteArray defaultFile(const QByteArray &defaultPath)
{
    QByteArray file = R"([VORN]
TestFileName=TempTestFile.TSF
[Load Option]
ConnectMode=0
BaudRate=115200
HandShake=2
COMPort=1
BoardNo=0
Address=5
LanIP1=192
LanIP2=168
LanIP3=16
LanIP4=128
LanPort=4001
DefaultPath=@
[AFG Option]
AFGEnable=0
ConnectMode=0
BaudRate=115200
HandShake=2
COMPort=1
BoardNo=0
Address=5
LanIP1=192
LanIP2=168
LanIP3=116
LanIP4=128
LanPort=4001
[System]
MeasureTime=1000
MeasureVoltage=1
MeasureCurrent=1
MeasurePower=1
MeasureAh=1
MeasureWh=1
Separate=,
)";
    return file.replace("\n", "\r\n").replace("@", defaultPath);
}

using Field = std::function<QString(const Settings &)>;

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void defaultsWithoutFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        Settings settings;
        MeasureOptions options;
        LoadSettings(settings, options, path);
        QCOMPARE(settings.IniPath, path);
        QCOMPARE(settings.TestFileName, QStringLiteral("TempTestFile.TSF"));
        LinkSettings load;
        load.ConnectMode = 0;
        load.BaudRate = 115200;
        load.HandShake = 2;
        load.COMPort = QStringLiteral("1");
        load.BoardNo = 0;
        load.Address = 5;
        load.LanIP1 = 192;
        load.LanIP2 = 168;
        load.LanIP3 = 16;
        load.LanIP4 = 128;
        load.LanPort = 4001;
        QCOMPARE(settings.loadLink, load);
        LinkSettings generator = load;
        generator.LanIP3 = 116;
        QCOMPARE(settings.generatorLink, generator);
        QCOMPARE(settings.AFGEnable, qint16(0));
        QCOMPARE(settings.DefaultPath, ProgramFolder::path());
        QCOMPARE(settings.MeasureTime.toText(), QStringLiteral("1000"));
        QCOMPARE(options.measTimeText(), QStringLiteral("1000"));
        for (int item = 0; item < MeasureOptions::MeasureItemCount; ++item)
            QCOMPARE(options.measureCheck(item), 1);
        QCOMPARE(settings.MeasureVoltage + settings.MeasureCurrent + settings.MeasurePower + settings.MeasureAh
                + settings.MeasureWh,
            5);
        QCOMPARE(settings.Separate, QStringLiteral(","));
        QCOMPARE(options.separateText(), QStringLiteral(","));
        QVERIFY(!QFile::exists(path));
    }

    void writtenFromScratchInSaveOrder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        Settings settings;
        MeasureOptions options;
        LoadSettings(settings, options, path);
        QVERIFY(SaveSettings(settings, options, path));
        QCOMPARE(TestFiles::readBytes(path), defaultFile(ProgramFolder::path().toUtf8()));
    }

    void commentsAndUnknownKeysSurvive()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(path,
            TestFiles::crlfLines({"; bench 3", "[system]", "LastTestStepFile=/home/op/a.tsf", "measuretime=250",
                "Colour=blue", "", "[Other]", "x=1"}));
        Settings settings;
        MeasureOptions options;
        LoadSettings(settings, options, path);
        options.setMeasTimeText(QStringLiteral("500"));
        settings.DefaultPath = QStringLiteral("/r");
        QVERIFY(SaveSettings(settings, options, path));
        const QByteArray written = TestFiles::readBytes(path);
        const QByteArray scratch = defaultFile("/r");
        const QByteArray system = TestFiles::crlfLines(
            {"MeasureVoltage=1", "MeasureCurrent=1", "MeasurePower=1", "MeasureAh=1", "MeasureWh=1", "Separate=,"});
        const QByteArray expected = TestFiles::crlfLines({"; bench 3", "[system]", "LastTestStepFile=/home/op/a.tsf",
                                        "measuretime=500", "Colour=blue"})
            + system + TestFiles::crlfLines({"", "[Other]", "x=1"}) + scratch.left(scratch.indexOf("[System]"));
        QCOMPARE(written, expected);
    }

    void integerKeys_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Field>("field");
        QTest::addColumn<QString>("expected");
        const Field handShake = [](const Settings &s) { return QString::number(s.loadLink.HandShake); };
        const Field baud = [](const Settings &s) { return QString::number(s.loadLink.BaudRate); };
        const Field loadPort = [](const Settings &s) { return QString::number(s.loadLink.LanPort); };
        const Field generatorPort = [](const Settings &s) { return QString::number(s.generatorLink.LanPort); };
        const Field generatorIp3 = [](const Settings &s) { return QString::number(s.generatorLink.LanIP3); };
        const Field afg = [](const Settings &s) { return QString::number(s.AFGEnable); };
        const Field power = [](const Settings &s) { return QString::number(s.MeasurePower); };
        QTest::newRow("whole") << "Load Option"
                               << "HandShake"
                               << "3" << handShake << "3";
        QTest::newRow("2.5 to even 2") << "Load Option"
                                       << "HandShake"
                                       << "2.5" << handShake << "2";
        QTest::newRow("3.5 to even 4") << "Load Option"
                                       << "HandShake"
                                       << "3.5" << handShake << "4";
        QTest::newRow("blanks around") << "Load Option"
                                       << "HandShake"
                                       << " 1 " << handShake << "1";
        QTest::newRow("not a number") << "Load Option"
                                      << "HandShake"
                                      << "RTS" << handShake << "2";
        QTest::newRow("number with unit") << "Load Option"
                                          << "HandShake"
                                          << "1x" << handShake << "2";
        QTest::newRow("empty") << "Load Option"
                               << "HandShake"
                               << "" << handShake << "2";
        QTest::newRow("above 16 bits") << "Load Option"
                                       << "HandShake"
                                       << "40000" << handShake << "2";
        QTest::newRow("32-bit baud rate") << "Load Option"
                                          << "BaudRate"
                                          << "921600" << baud << "921600";
        QTest::newRow("baud rate above 32 bits") << "Load Option"
                                                 << "BaudRate"
                                                 << "3e9" << baud << "115200";
        QTest::newRow("port above 32767") << "Load Option"
                                          << "LanPort"
                                          << "40000" << loadPort << "40000";
        QTest::newRow("port 65535") << "AFG Option"
                                    << "LanPort"
                                    << "65535" << generatorPort << "65535";
        // A port the file gets wrong is refused, never replaced by the default: 0 is no port.
        QTest::newRow("port 65536") << "AFG Option"
                                    << "LanPort"
                                    << "65536" << generatorPort << "0";
        QTest::newRow("port 0") << "Load Option"
                                << "LanPort"
                                << "0" << loadPort << "0";
        QTest::newRow("port with trailing letters") << "Load Option"
                                                    << "LanPort"
                                                    << "4001abc" << loadPort << "0";
        QTest::newRow("port 4001.4") << "Load Option"
                                     << "LanPort"
                                     << "4001.4" << loadPort << "4001";
        QTest::newRow("generator third part read") << "AFG Option"
                                                   << "LanIP3"
                                                   << "16" << generatorIp3 << "16";
        QTest::newRow("generator enabled") << "AFG Option"
                                           << "AFGEnable"
                                           << "1" << afg << "1";
        QTest::newRow("measure value greyed") << "System"
                                              << "MeasurePower"
                                              << "2" << power << "2";
        QTest::newRow("measure value 3") << "System"
                                         << "MeasurePower"
                                         << "3" << power << "1";
        QTest::newRow("measure value negative") << "System"
                                                << "MeasurePower"
                                                << "-1" << power << "1";
    }
    void integerKeys()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(Field, field);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        const QByteArray content = "[" + section.toUtf8() + "]\r\n" + key.toUtf8() + "=" + text.toUtf8() + "\r\n";
        TestFiles::writeBytes(path, content);
        Settings settings;
        MeasureOptions options;
        LoadSettings(settings, options, path);
        QCOMPARE(field(settings), expected);
        QCOMPARE(TestFiles::readBytes(path), content);
    }

    void textKeys_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<Field>("field");
        QTest::addColumn<QString>("expected");
        const Field testFile = [](const Settings &s) { return s.TestFileName; };
        const Field comPort = [](const Settings &s) { return s.loadLink.COMPort; };
        const Field defaultPath = [](const Settings &s) { return s.DefaultPath; };
        const Field separate = [](const Settings &s) { return s.Separate; };
        const Field measureTime = [](const Settings &s) { return s.MeasureTime.toText(); };
        QTest::newRow("test file") << QByteArray("[VORN]\r\nTestFileName=/a/b.TSF\r\n") << testFile << "/a/b.TSF";
        QTest::newRow("empty test file") << QByteArray("[VORN]\r\nTestFileName=\r\n") << testFile << "TempTestFile.TSF";
        QTest::newRow("empty COM port") << QByteArray("[Load Option]\r\nCOMPort=\r\n") << comPort << "";
        QTest::newRow("device path") << QByteArray("[Load Option]\r\nCOMPort=/dev/ttyUSB0\r\n") << comPort
                                     << "/dev/ttyUSB0";
        QTest::newRow("empty report folder") << QByteArray("[Load Option]\r\nDefaultPath=\r\n") << defaultPath << "";
        QTest::newRow("tab separator") << QByteArray("[System]\r\nSeparate=<Tab>\r\n") << separate << "<Tab>";
        QTest::newRow("empty separator") << QByteArray("[System]\r\nSeparate=\r\n") << separate << "";
        QTest::newRow("250ms") << QByteArray("[System]\r\nMeasureTime=250ms\r\n") << measureTime << "250";
        QTest::newRow("letters") << QByteArray("[System]\r\nMeasureTime=abc\r\n") << measureTime << "0";
        QTest::newRow("empty interval") << QByteArray("[System]\r\nMeasureTime=\r\n") << measureTime << "0";
        QTest::newRow("fraction") << QByteArray("[System]\r\nMeasureTime=250.50\r\n") << measureTime << "250.5";
        QTest::newRow("below the box's limit") << QByteArray("[System]\r\nMeasureTime=50\r\n") << measureTime << "50";
    }
    void textKeys()
    {
        QFETCH(QByteArray, content);
        QFETCH(Field, field);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(path, content);
        Settings settings;
        MeasureOptions options;
        LoadSettings(settings, options, path);
        QCOMPARE(field(settings), expected);
        QCOMPARE(options.measTimeText(), settings.MeasureTime.toText());
        QCOMPARE(options.separateText(), settings.Separate);
    }

    void measureItemsSetOneByOne_data()
    {
        QTest::addColumn<QByteArray>("system");
        QTest::addColumn<QList<int>>("stored");
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("first three clear")
            << QByteArray("MeasureVoltage=0\r\nMeasureCurrent=0\r\nMeasurePower=0\r\nMeasureAh=0\r\n")
            << QList<int>{0, 0, 0, 0, 1} << QList<int>{1, 0, 0, 0, 1};
        QTest::newRow("only power") << QByteArray("MeasureVoltage=0\r\nMeasureCurrent=0\r\nMeasurePower=1\r\n")
                                    << QList<int>{0, 0, 1, 1, 1} << QList<int>{0, 0, 1, 1, 1};
        QTest::newRow("voltage off, current on") << QByteArray("MeasureVoltage=0\r\nMeasureWh=0\r\n")
                                                 << QList<int>{0, 1, 1, 1, 0} << QList<int>{0, 1, 1, 1, 0};
    }
    void measureItemsSetOneByOne()
    {
        QFETCH(QByteArray, system);
        QFETCH(QList<int>, stored);
        QFETCH(QList<int>, shown);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(path, "[System]\r\n" + system);
        Settings settings;
        MeasureOptions options;
        LoadSettings(settings, options, path);
        QCOMPARE((QList<int>{settings.MeasureVoltage, settings.MeasureCurrent, settings.MeasurePower,
                     settings.MeasureAh, settings.MeasureWh}),
            stored);
        QList<int> boxes;
        for (int item = 0; item < MeasureOptions::MeasureItemCount; ++item)
            boxes.append(options.measureCheck(item));
        QCOMPARE(boxes, shown);
    }

    void saveTakesTheWindowsChoices()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        Settings settings;
        settings.DefaultPath = QStringLiteral("/r");
        MeasureOptions options;
        options.setMeasTimeText(QStringLiteral("250.5ms"));
        options.setMeasureCheck(MeasureOptions::Voltage, 0);
        options.setMeasureCheck(MeasureOptions::Wh, 0);
        options.setSeparateText(QStringLiteral("<Tab>"));
        QVERIFY(SaveSettings(settings, options, path));
        QCOMPARE(settings.MeasureTime.toText(), QStringLiteral("250.5"));
        QCOMPARE(settings.MeasureVoltage, qint16(0));
        QCOMPARE(settings.MeasureCurrent, qint16(1));
        QCOMPARE(settings.MeasureWh, qint16(0));
        QCOMPARE(settings.Separate, QStringLiteral("<Tab>"));
        QByteArray expected = defaultFile("/r");
        expected.replace("MeasureTime=1000", "MeasureTime=250.5")
            .replace("MeasureVoltage=1", "MeasureVoltage=0")
            .replace("MeasureWh=1", "MeasureWh=0")
            .replace("Separate=,", "Separate=<Tab>");
        QCOMPARE(TestFiles::readBytes(path), expected);
    }

    void roundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        Settings settings;
        MeasureOptions options;
        settings.loadLink.LanPort = 40000;
        settings.loadLink.ConnectMode = 2;
        settings.generatorLink.COMPort = QStringLiteral("/dev/ttyACM0");
        settings.generatorLink.BaudRate = 9600;
        settings.AFGEnable = 1;
        settings.TestFileName = QStringLiteral("/home/op/Entl\u00e4dung.TSF");
        QVERIFY(SaveSettings(settings, options, path));
        QVERIFY(TestFiles::readBytes(path).contains("\r\nLanPort=40000\r\n"));
        Settings again;
        MeasureOptions againOptions;
        LoadSettings(again, againOptions, path);
        QCOMPARE(again, settings);
    }

    void bytesThatAreNotUtf8Survive()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        QByteArray content = defaultFile("C:\\Berichte\\M\xFC"
                                         "ller");
        content.replace("TestFileName=TempTestFile.TSF",
            "TestFileName=Entl\xE4"
            "dung.TSF");
        content.replace("[System]", "; \xFF\xFE\r\n[System]");
        TestFiles::writeBytes(path, content);
        Settings settings;
        MeasureOptions options;
        LoadSettings(settings, options, path);
        QVERIFY(SaveSettings(settings, options, path));
        QCOMPARE(TestFiles::readBytes(path), content);
    }

    void failedSaveKeepsFileAndValues()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("VORN.INI")));
        Settings settings;
        MeasureOptions options;
        options.setMeasTimeText(QStringLiteral("300"));
        QVERIFY(!SaveSettings(settings, options, path));
        QCOMPARE(settings.MeasureTime.toText(), QStringLiteral("300"));
        QVERIFY(QFileInfo(path).isDir());
        QVERIFY(!SaveSettings(settings, options, dir.filePath(QStringLiteral("missing/VORN.INI"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing"))));
    }

    void saveReplacesAnUnusableValue()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(path, "[Load Option]\r\nBaudRate=fast\r\n");
        Settings settings;
        MeasureOptions options;
        LoadSettings(settings, options, path);
        QVERIFY(SaveSettings(settings, options, path));
        QVERIFY(TestFiles::readBytes(path).startsWith("[Load Option]\r\nBaudRate=115200\r\n"));
    }

    // A LAN port that is not a port number is refused by name, for either link, and stays in the
    // file as written until it is set right; a good one says nothing.
    void lanPortRefusedByName_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("problems");
        QTest::addColumn<qint32>("loadPort");
        QTest::addColumn<qint32>("generatorPort");
        const QString refused(
            QStringLiteral("@: [%1] LanPort=%2 is not a port number (1 to 65535): no LAN connection is "
                           "made until it is set right"));
        QTest::newRow("trailing letters") << QByteArray("[Load Option]\r\nLanPort=4001abc\r\n")
                                          << QStringList{refused.arg("Load Option", "4001abc")} << 0 << 4001;
        QTest::newRow("empty") << QByteArray("[Load Option]\r\nLanPort=\r\n")
                               << QStringList{refused.arg("Load Option", "")} << 0 << 4001;
        QTest::newRow("generator's too large") << QByteArray("[AFG Option]\r\nLanPort=70000\r\n")
                                               << QStringList{refused.arg("AFG Option", "70000")} << 4001 << 0;
        QTest::newRow("both") << QByteArray("[Load Option]\r\nLanPort=5025 \r\n[AFG Option]\r\nLanPort=-1\r\n")
                              << QStringList{refused.arg("AFG Option", "-1")} << 5025 << 0;
        QTest::newRow("none given") << QByteArray("[Load Option]\r\nConnectMode=2\r\n") << QStringList{} << 4001
                                    << 4001;
    }
    void lanPortRefusedByName()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, problems);
        QFETCH(qint32, loadPort);
        QFETCH(qint32, generatorPort);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(path, file);
        Settings settings;
        MeasureOptions options;
        QStringList said;
        LoadSettings(settings, options, path, &said);
        problems.replaceInStrings(QStringLiteral("@"), path);
        QCOMPARE(said, problems);
        QCOMPARE(settings.loadLink.LanPort, loadPort);
        QCOMPARE(settings.generatorLink.LanPort, generatorPort);

        QVERIFY(SaveSettings(settings, options, path));
        QStringList again;
        LoadSettings(settings, options, path, &again);
        QCOMPARE(again, problems);
    }

    void linkKeysInTheDialogsOrder()
    {
        QTemporaryDir dir;
        IniFile ini(dir.filePath(QStringLiteral("VORN.INI")));
        LinkSettings link;
        link.Address = 7;
        LinkSettingsIni::write(ini, u"AFG Option", link, LinkSettingsIni::WriteOrder::AddressFirst);
        QVERIFY(ini.save());
        const QByteArray written = TestFiles::readBytes(ini.path());
        QVERIFY(written.contains("COMPort=1\r\nAddress=7\r\nBoardNo=0\r\nLanIP1=192\r\n"));
        QCOMPARE(LinkSettingsIni::read(ini, u"afg option", LinkSettings()), link);
    }

    void programFolder()
    {
        QTemporaryDir dir;
        QCOMPARE(ProgramFolder::choose(dir.path()), QDir::cleanPath(dir.path()));
        // One folder for the three programs, whatever the program's name.
        const QString data
            = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/vornic");
        QCOMPARE(ProgramFolder::choose(dir.filePath(QStringLiteral("missing"))), data);
        // Installed as the package installs it: never beside the program, even where that is writable.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("usr/bin"))
            && QDir(dir.path()).mkpath(QStringLiteral("usr/share/vornic")));
        QCOMPARE(ProgramFolder::choose(dir.filePath(QStringLiteral("usr/bin"))), data);
        QVERIFY(QFileInfo(data).isDir());
        QCOMPARE(defaultIniPath(), ProgramFolder::path() + QStringLiteral("/VORN.INI"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
