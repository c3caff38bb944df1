#include "settings/IniFile.h"
#include "settings/MeasureOptions.h"
#include "settings/ProgramFolder.h"
#include "settings/Settings.h"
#include "ui/ConnectionSetupForm.h"

#include "TestFiles.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <QTest>
#include <memory>

namespace {

template <class T> T *get(const QObject *parent, const QString &name)
{
    T *child = parent->findChild<T *>(name);
    if (!child)
        qFatal("no %s", qPrintable(name));
    return child;
}

QString text(const QObject *dialog, const QString &name)
{
    if (auto *combo = dialog->findChild<QComboBox *>(name))
        return combo->currentText();
    return get<QLineEdit>(dialog, name)->text();
}

void setText(const QObject *dialog, const QString &name, const QString &value)
{
    if (auto *combo = dialog->findChild<QComboBox *>(name))
        combo->setEditText(value);
    else
        get<QLineEdit>(dialog, name)->setText(value);
}

QString stored(const QString &path, const QString &section, const QString &key)
{
    return IniFile::ReadIniString(path, section, key, QStringLiteral("<missing>"));
}

// A settings file in a temporary folder, the settings the main window loaded from it, and the
// dialog with its folder chooser and message box replaced.
struct Bench
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("VORN.INI"));
    Settings settings;
    MeasureOptions options;
    std::unique_ptr<ConnectionSetupForm> dialog;
    QStringList messages;
    QStringList prompts;
    QUrl folderAnswer;
    std::unique_ptr<QSignalSpy> closed;

    explicit Bench(const QByteArray &file = {})
    {
        if (!file.isEmpty())
            TestFiles::writeBytes(path, file);
        LoadSettings(settings, options, path);
    }

    ConnectionSetupForm *open(const QList<ComPortCombo::Port> &ports = {})
    {
        dialog = std::make_unique<ConnectionSetupForm>(settings, path);
        dialog->setMessageBox([this](QWidget *, const QString &message) { messages.append(message); });
        dialog->setFolderChooser([this](QWidget *, const QString &prompt, const QString &) {
            prompts.append(prompt);
            return folderAnswer;
        });
        dialog->setSerialPorts(ports);
        closed = std::make_unique<QSignalSpy>(dialog.get(), &ConnectionSetupForm::closedRestartIdentification);
        dialog->show();
        return dialog.get();
    }

    void press(const QString &button) { get<QPushButton>(dialog.get(), button)->click(); }
};

bool frameShown(QWidget *dialog, const QString &panel, const QString &frame)
{
    return get<QGroupBox>(get<QWidget>(dialog, panel), frame)->isVisibleTo(dialog);
}

QStringList entries(const QComboBox *combo)
{
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list.append(combo->itemText(i));
    return list;
}

QStringList numbers(int first, int last)
{
    QStringList list;
    for (int n = first; n <= last; ++n)
        list.append(QString::number(n));
    return list;
}

// As shown; the file keeps their numbers 0 to 3.
const QStringList handShakes{QStringLiteral("None"), QStringLiteral("XON/XOFF"), QStringLiteral("RTS/CTS"),
    QStringLiteral("RTS/CTS and XON/XOFF")};

} // namespace

class TestConnectionSetupForm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void controlsAndEntries()
    {
        Bench bench;
        QWidget *d = bench.open();
        QCOMPARE(d->windowTitle(), QStringLiteral("Connect Setup"));
        QVERIFY(d->isModal());
        for (const char *name : {"Combo1", "Combo7"})
            QCOMPARE(entries(get<QComboBox>(d, name)), QStringList({"9600", "115200"}));
        for (const char *name : {"Combo2", "Combo6"})
            QCOMPARE(entries(get<QComboBox>(d, name)), numbers(1, 16));
        for (const char *name : {"Combo3", "Combo5"})
            QCOMPARE(entries(get<QComboBox>(d, name)), handShakes);
        for (const char *name : {"Combo4", "Combo8"})
            QCOMPARE(entries(get<QComboBox>(d, name)), numbers(0, 30));
        for (const char *name : {"LoadBoardCombo", "AfgBoardCombo"})
            QCOMPARE(entries(get<QComboBox>(d, name)), numbers(0, 15));
        QCOMPARE(get<QCheckBox>(d, "Check1")->text(), QStringLiteral("AFG Enable"));
        QCOMPARE(get<QPushButton>(d, "Command3")->text(), QStringLiteral("..."));
    }

    void defaultsWithoutFile()
    {
        Bench bench;
        QCOMPARE(bench.settings.generatorLink.LanIP3, qint16(116));
        QWidget *d = bench.open();
        for (const char *option : {"Option1", "Option6"})
            QVERIFY(get<QRadioButton>(d, option)->isChecked());
        const QStringList expected{"115200", "RTS/CTS", "1", "5", "4001"};
        QCOMPARE(
            QStringList({text(d, "Combo1"), text(d, "Combo3"), text(d, "Combo2"), text(d, "Combo4"), text(d, "Text2")}),
            expected);
        QCOMPARE(
            QStringList({text(d, "Combo7"), text(d, "Combo5"), text(d, "Combo6"), text(d, "Combo8"), text(d, "Text3")}),
            expected);
        QCOMPARE(QStringList({text(d, "Text1_0"), text(d, "Text1_1"), text(d, "Text1_2"), text(d, "Text1_3")}),
            QStringList({"192", "168", "16", "128"}));
        QCOMPARE(QStringList({text(d, "Text1_7"), text(d, "Text1_6"), text(d, "Text1_5"), text(d, "Text1_4")}),
            QStringList({"192", "168", "16", "128"}));
        QVERIFY(!get<QCheckBox>(d, "Check1")->isChecked());
        QCOMPARE(text(d, "DefaultPathText"), ProgramFolder::path());
        // Only "Save" takes the dialog's 16 into memory.
        QCOMPARE(bench.settings.generatorLink.LanIP3, qint16(116));
        bench.press("Command2");
        QCOMPARE(bench.settings.generatorLink.LanIP3, qint16(116));
    }

    void saveWritesFileInOrder()
    {
        Bench bench;
        bench.open();
        bench.press("Command1");
        QCOMPARE(bench.dialog->result(), int(QDialog::Accepted));
        const QByteArray link = TestFiles::crlfLines({"ConnectMode=0", "BaudRate=115200", "HandShake=2", "COMPort=1",
            "Address=5", "BoardNo=0", "LanIP1=192", "LanIP2=168", "LanIP3=16", "LanIP4=128", "LanPort=4001"});
        QCOMPARE(TestFiles::readBytes(bench.path),
            TestFiles::crlfLines({"[Load Option]", "DefaultPath=" + ProgramFolder::path().toUtf8()}) + link
                + TestFiles::crlfLines({"[AFG Option]", "AFGEnable=0"}) + link);
        QCOMPARE(bench.settings.generatorLink.LanIP3, qint16(16));
    }

    void storedValuesShown()
    {
        Bench bench(TestFiles::crlfLines({"[Load Option]", "ConnectMode=2", "BaudRate=9600", "COMPort=/dev/ttyUSB1",
            "Address=12", "LanIP1=10", "LanIP2=0", "LanIP3=0", "LanIP4=7", "LanPort=5025", "BoardNo=4", "[AFG Option]",
            "AFGEnable=1", "ConnectMode=1", "Address=9"}));
        // Changed after start-up: the dialog shows the file, memory keeps what was loaded except
        // the transports, the board numbers and the generator switch.
        TestFiles::writeBytes(bench.path, TestFiles::readBytes(bench.path).replace("BaudRate=9600", "BaudRate=19200"));
        QWidget *d = bench.open();
        QVERIFY(get<QRadioButton>(d, "Option3")->isChecked());
        QVERIFY(get<QRadioButton>(d, "Option5")->isChecked());
        QVERIFY(frameShown(d, "loadPanel", "lanFrame") && !frameShown(d, "loadPanel", "rs232Frame"));
        QVERIFY(frameShown(d, "generatorPanel", "gpibFrame") && !frameShown(d, "generatorPanel", "rs232Frame"));
        QCOMPARE(text(d, "Combo1"), QStringLiteral("19200"));
        QCOMPARE(text(d, "Combo2"), QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(text(d, "Combo4"), QStringLiteral("12"));
        QCOMPARE(text(d, "Combo8"), QStringLiteral("9"));
        QCOMPARE(QStringList({text(d, "Text1_0"), text(d, "Text1_1"), text(d, "Text1_2"), text(d, "Text1_3")}),
            QStringList({"10", "0", "0", "7"}));
        QCOMPARE(text(d, "Text2"), QStringLiteral("5025"));
        QVERIFY(get<QCheckBox>(d, "Check1")->isChecked());
        QCOMPARE(bench.settings.loadLink.BaudRate, 9600);
        QCOMPARE(bench.settings.loadLink.ConnectMode, qint16(2));
        QCOMPARE(bench.settings.generatorLink.ConnectMode, qint16(1));
        QCOMPARE(bench.settings.loadLink.BoardNo, qint16(4));
        QCOMPARE(bench.settings.AFGEnable, qint16(1));
    }

    void optionShowsItsFrame_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("shown");
        const QString load = QStringLiteral("loadPanel");
        const QString generator = QStringLiteral("generatorPanel");
        QTest::newRow("Option2 GPIB") << "Option2" << load << "gpibFrame";
        QTest::newRow("Option3 LAN") << "Option3" << load << "lanFrame";
        QTest::newRow("Option1 RS-232") << "Option1" << load << "rs232Frame";
        QTest::newRow("Option5 GPIB") << "Option5" << generator << "gpibFrame";
        QTest::newRow("Option4 LAN") << "Option4" << generator << "lanFrame";
        QTest::newRow("Option6 RS-232") << "Option6" << generator << "rs232Frame";
    }

    void optionShowsItsFrame()
    {
        QFETCH(QString, option);
        QFETCH(QString, panel);
        QFETCH(QString, shown);
        Bench bench(TestFiles::crlfLines({"[Load Option]", "ConnectMode=1", "[AFG Option]", "ConnectMode=2"}));
        QWidget *d = bench.open();
        QTest::mouseClick(get<QRadioButton>(d, option), Qt::LeftButton);
        QVERIFY(get<QRadioButton>(d, option)->isChecked());
        for (const char *frame : {"rs232Frame", "gpibFrame", "lanFrame"})
            QCOMPARE(frameShown(d, panel, frame), shown == frame);
    }

    void storedHandShakeShown_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0") << QByteArray("0") << "None";
        QTest::newRow("1") << QByteArray("1") << "XON/XOFF";
        QTest::newRow("2") << QByteArray("2") << "RTS/CTS";
        QTest::newRow("3") << QByteArray("3") << "RTS/CTS and XON/XOFF";
        QTest::newRow("2.5 to even") << QByteArray("2.5") << "RTS/CTS";
        QTest::newRow("above 3") << QByteArray("4") << "RTS/CTS";
        QTest::newRow("3.5 to even 4") << QByteArray("3.5") << "RTS/CTS";
        QTest::newRow("negative") << QByteArray("-1") << "RTS/CTS";
        QTest::newRow("not a number") << QByteArray("RTS") << "RTS/CTS";
        QTest::newRow("empty") << QByteArray("") << "RTS/CTS";
    }

    void storedHandShakeShown()
    {
        QFETCH(QByteArray, value);
        QFETCH(QString, shown);
        Bench bench(
            TestFiles::crlfLines({"[Load Option]", "HandShake=" + value, "[AFG Option]", "HandShake=" + value}));
        QWidget *d = bench.open();
        QCOMPARE(text(d, "Combo3"), shown);
        QCOMPARE(text(d, "Combo5"), shown);
    }

    void handShakeThreeRoundTrip()
    {
        Bench bench(TestFiles::crlfLines({"[Load Option]", "HandShake=3"}));
        QWidget *d = bench.open();
        QCOMPARE(text(d, "Combo3"), QStringLiteral("RTS/CTS and XON/XOFF"));
        setText(d, "Combo5", QStringLiteral("RTS/CTS and XON/XOFF"));
        bench.press("Command1");
        QCOMPARE(stored(bench.path, "Load Option", "HandShake"), QStringLiteral("3"));
        QCOMPARE(stored(bench.path, "AFG Option", "HandShake"), QStringLiteral("3"));
        QCOMPARE(bench.settings.generatorLink.HandShake, qint16(3));
        d = bench.open();
        QCOMPARE(text(d, "Combo3"), QStringLiteral("RTS/CTS and XON/XOFF"));
        QCOMPARE(text(d, "Combo5"), QStringLiteral("RTS/CTS and XON/XOFF"));
    }

    void handShakeTypedByHand_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *typed, const char *expected) { QTest::newRow(typed) << typed << expected; };
        row("XON/XOFF", "1");
        row("RTS/CTS", "2");
        // Memory's 0 stays for anything but the exact names shown.
        row("rts/cts", "0");
        row("comRTS", "0");
        row("3", "0");
    }

    void handShakeTypedByHand()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        // Memory holds 0 from start-up; the file says 2 by the time the dialog opens.
        Bench bench(TestFiles::crlfLines({"[Load Option]", "HandShake=0"}));
        TestFiles::writeBytes(bench.path, TestFiles::crlfLines({"[Load Option]", "HandShake=2"}));
        QWidget *d = bench.open();
        setText(d, "Combo3", typed);
        bench.press("Command1");
        QCOMPARE(stored(bench.path, "Load Option", "HandShake"), expected);
    }

    void lanPortSavedAndShownAgain()
    {
        Bench bench;
        QWidget *d = bench.open();
        QTest::mouseClick(get<QRadioButton>(d, "Option3"), Qt::LeftButton);
        setText(d, "Text2", QStringLiteral("5025"));
        setText(d, "Text3", QStringLiteral("5026"));
        setText(d, "Text1_7", QStringLiteral("10"));
        setText(d, "Text1_4", QStringLiteral("9"));
        bench.press("Command1");
        QCOMPARE(stored(bench.path, "Load Option", "LanPort"), QStringLiteral("5025"));
        QCOMPARE(stored(bench.path, "AFG Option", "LanPort"), QStringLiteral("5026"));
        QCOMPARE(stored(bench.path, "Load Option", "ConnectMode"), QStringLiteral("2"));
        QCOMPARE(bench.settings.loadLink.LanPort, 5025);
        QCOMPARE(bench.settings.generatorLink.LanIP1, qint16(10));
        QCOMPARE(bench.settings.generatorLink.LanIP4, qint16(9));
        d = bench.open();
        QVERIFY(get<QRadioButton>(d, "Option3")->isChecked());
        QVERIFY(frameShown(d, "loadPanel", "lanFrame"));
        QCOMPARE(text(d, "Text2"), QStringLiteral("5025"));
        QCOMPARE(text(d, "Text3"), QStringLiteral("5026"));
        QCOMPARE(text(d, "Text1_7"), QStringLiteral("10"));
    }

    // The GPIB board is shown as stored and saved as entered, beside the address.
    void boardShownAndSaved_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("shownLoad");
        QTest::addColumn<QString>("shownGenerator");
        QTest::addColumn<QString>("typedGenerator");
        QTest::addColumn<QString>("storedLoad");
        QTest::addColumn<QString>("storedGenerator");
        QTest::addColumn<bool>("refused");
        QTest::newRow("no key") << QByteArray() << "0"
                                << "0"
                                << "0"
                                << "0"
                                << "0" << false;
        QTest::newRow("stored boards") << TestFiles::crlfLines({"[Load Option]", "BoardNo=3", "[AFG Option]",
            "BoardNo=1"}) << "3"
                                       << "1"
                                       << "2"
                                       << "3"
                                       << "2" << false;
        QTest::newRow("beyond the last board") << TestFiles::crlfLines({"[Load Option]", "BoardNo=3"}) << "3"
                                               << "0"
                                               << "16"
                                               << "3"
                                               << "<missing>" << true;
    }
    void boardShownAndSaved()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, shownLoad);
        QFETCH(QString, shownGenerator);
        QFETCH(QString, typedGenerator);
        QFETCH(QString, storedLoad);
        QFETCH(QString, storedGenerator);
        QFETCH(bool, refused);
        Bench bench(file);
        QWidget *d = bench.open();
        QTest::mouseClick(get<QRadioButton>(d, "Option2"), Qt::LeftButton);
        QVERIFY(get<QComboBox>(d, "LoadBoardCombo")->isVisibleTo(d));
        QCOMPARE(text(d, "LoadBoardCombo"), shownLoad);
        QCOMPARE(text(d, "AfgBoardCombo"), shownGenerator);
        setText(d, "AfgBoardCombo", typedGenerator);
        bench.press("Command1");
        QCOMPARE(bench.messages.size(), refused ? 1 : 0);
        if (refused)
            QVERIFY(bench.messages.first().contains(QStringLiteral("GPIB Board")));
        QCOMPARE(stored(bench.path, "AFG Option", "BoardNo"), storedGenerator);
        if (refused)
            return;
        QCOMPARE(stored(bench.path, "Load Option", "BoardNo"), storedLoad);
        QCOMPARE(bench.settings.generatorLink.BoardNo, qint16(typedGenerator.toInt()));
        d = bench.open();
        QCOMPARE(text(d, "AfgBoardCombo"), typedGenerator);
    }

    void reportFolderKeptAcrossRestart()
    {
        Bench bench;
        const QString reports = bench.dir.filePath(QStringLiteral("reports"));
        QVERIFY(QDir().mkpath(reports));
        bench.folderAnswer = QUrl::fromLocalFile(reports);
        QWidget *d = bench.open();
        bench.press("Command3");
        QCOMPARE(bench.prompts, QStringList({"Please select Report Path"}));
        QCOMPARE(text(d, "DefaultPathText"), reports);
        bench.press("Command1");
        QCOMPARE(bench.settings.DefaultPath, reports);

        Settings restarted;
        MeasureOptions options;
        LoadSettings(restarted, options, bench.path);
        QCOMPARE(restarted.DefaultPath, reports);
        d = bench.open();
        QCOMPARE(text(d, "DefaultPathText"), reports);
    }

    void folderPickWithoutPathChangesNothing_data()
    {
        QTest::addColumn<QUrl>("answer");
        QTest::newRow("cancelled") << QUrl();
        QTest::newRow("network folder") << QUrl(QStringLiteral("smb://server/share"));
        QTest::newRow("trash") << QUrl(QStringLiteral("trash:/"));
    }

    void folderPickWithoutPathChangesNothing()
    {
        QFETCH(QUrl, answer);
        Bench bench(TestFiles::crlfLines({"[Load Option]", "DefaultPath=/srv/reports"}));
        bench.folderAnswer = answer;
        QWidget *d = bench.open();
        bench.press("Command3");
        QCOMPARE(bench.prompts.size(), 1);
        QCOMPARE(text(d, "DefaultPathText"), QStringLiteral("/srv/reports"));
    }

    void cancelLeavesDefaultPathWritten()
    {
        const QByteArray before
            = TestFiles::crlfLines({"; bench 2", "[Load Option]", "BaudRate=9600", "[System]", "Separate=;"});
        Bench bench(before);
        const Settings loaded = bench.settings;
        QWidget *d = bench.open();
        setText(d, "Combo1", QStringLiteral("19200"));
        bench.press("Command2");
        QCOMPARE(bench.dialog->result(), int(QDialog::Rejected));
        QCOMPARE(TestFiles::readBytes(bench.path),
            TestFiles::crlfLines({"; bench 2", "[Load Option]", "BaudRate=9600",
                "DefaultPath=" + ProgramFolder::path().toUtf8(), "[System]", "Separate=;"}));
        QCOMPARE(bench.settings, loaded);
    }

    void everyCloseRestartsIdentification_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("Save") << "Save" << int(QDialog::Accepted);
        QTest::newRow("Cancel") << "Cancel" << int(QDialog::Rejected);
        QTest::newRow("close box") << "close box" << int(QDialog::Rejected);
        QTest::newRow("Escape") << "Escape" << int(QDialog::Rejected);
    }

    void everyCloseRestartsIdentification()
    {
        QFETCH(QString, how);
        QFETCH(int, result);
        Bench bench;
        ConnectionSetupForm *d = bench.open();
        QCOMPARE(bench.closed->count(), 0);
        if (how == u"Save")
            bench.press("Command1");
        else if (how == u"Cancel")
            bench.press("Command2");
        else if (how == u"close box")
            d->close();
        else
            QTest::keyClick(d, Qt::Key_Escape);
        QVERIFY(!d->isVisible());
        QCOMPARE(d->result(), result);
        QCOMPARE(bench.closed->count(), 1);
    }

    void unusableNumberRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *tag, const char *field, const char *typed, const QString &what) {
            QTest::newRow(tag) << field << typed
                               << QStringLiteral("%1, not \"%2\". Nothing was saved.").arg(what, typed);
        };
        const QString loadBaud = QStringLiteral("Load Baudrate must be a number from 1 to 4000000");
        row("baud letters", "Combo1", "fast", loadBaud);
        row("baud 0", "Combo1", "0", loadBaud);
        row("baud above", "Combo1", "4000001", loadBaud);
        row("generator baud empty", "Combo7", "", QStringLiteral("AFG Baudrate must be a number from 1 to 4000000"));
        const QString loadAddress = QStringLiteral("Load GPIB Address must be a number from 0 to 30");
        row("address 31", "Combo4", "31", loadAddress);
        row("address negative", "Combo4", "-1", loadAddress);
        row("generator address", "Combo8", "5a", QStringLiteral("AFG GPIB Address must be a number from 0 to 30"));
        row("ip part 1", "Text1_0", "256", QStringLiteral("Load IP Address part 1 must be a number from 0 to 255"));
        row("ip part 4", "Text1_3", "-1", QStringLiteral("Load IP Address part 4 must be a number from 0 to 255"));
        row("generator ip part 1", "Text1_7", "300",
            QStringLiteral("AFG IP Address part 1 must be a number from 0 to 255"));
        row("generator ip part 4", "Text1_4", "1.2.3",
            QStringLiteral("AFG IP Address part 4 must be a number from 0 to 255"));
        const QString loadPort = QStringLiteral("Load LAN Port must be a number from 1 to 65535");
        row("port 0", "Text2", "0", loadPort);
        row("port above", "Text2", "65536", loadPort);
        row("generator port", "Text3", "port", QStringLiteral("AFG LAN Port must be a number from 1 to 65535"));
    }

    void unusableNumberRefused()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        Bench bench(TestFiles::crlfLines({"[AFG Option]", "AFGEnable=0"}));
        ConnectionSetupForm *d = bench.open();
        const QByteArray opened = TestFiles::readBytes(bench.path);
        const Settings before = bench.settings;
        get<QCheckBox>(d, "Check1")->setChecked(true);
        setText(d, "DefaultPathText", QStringLiteral("/elsewhere"));
        setText(d, field, typed);
        bench.press("Command1");
        QCOMPARE(bench.messages, QStringList({message}));
        QVERIFY(d->isVisible());
        QCOMPARE(bench.closed->count(), 0);
        QCOMPARE(TestFiles::readBytes(bench.path), opened);
        QCOMPARE(bench.settings, before);
    }

    void numbersInRangeStored_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const char *load = "Load Option";
        const char *afg = "AFG Option";
        const auto row = [](const char *tag, const char *field, const char *typed, const char *section, const char *key,
                             const char *to) { QTest::newRow(tag) << field << typed << section << key << to; };
        row("baud 1", "Combo1", "1", load, "BaudRate", "1");
        row("baud 4000000", "Combo7", "4000000", afg, "BaudRate", "4000000");
        row("address 0", "Combo4", "0", load, "Address", "0");
        row("address 30.5 to even", "Combo8", "30.5", afg, "Address", "30");
        row("ip 255", "Text1_2", "255", load, "LanIP3", "255");
        row("ip blanks", "Text1_5", " 0 ", afg, "LanIP3", "0");
        row("port 1", "Text3", "1", afg, "LanPort", "1");
        row("port 65535", "Text2", "65535", load, "LanPort", "65535");
    }

    void numbersInRangeStored()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        Bench bench;
        QWidget *d = bench.open();
        setText(d, field, typed);
        bench.press("Command1");
        QVERIFY(bench.messages.isEmpty());
        QCOMPARE(stored(bench.path, section, key), expected);
    }

    void serialDevicesListed()
    {
        Bench bench;
        QWidget *d = bench.open({{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART")},
            {QStringLiteral("/dev/ttyACM0"), QString()}});
        for (const char *name : {"Combo2", "Combo6"}) {
            QCOMPARE(entries(get<QComboBox>(d, name)),
                numbers(1, 16) << QStringLiteral("/dev/ttyUSB0 (FT232R USB UART)") << QStringLiteral("/dev/ttyACM0"));
        }
        auto *combo = get<QComboBox>(d, "Combo2");
        combo->setFocus();
        combo->setCurrentIndex(15);
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(combo->currentText(), QStringLiteral("/dev/ttyUSB0"));
        // The entry's own text, typed or completed, stores the path too.
        setText(d, "Combo6", QStringLiteral("/dev/ttyUSB0 (FT232R USB UART)"));
        bench.press("Command1");
        QCOMPARE(stored(bench.path, "Load Option", "COMPort"), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(stored(bench.path, "AFG Option", "COMPort"), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(bench.settings.loadLink.COMPort, QStringLiteral("/dev/ttyUSB0"));

        d = bench.open({{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART")}});
        QCOMPARE(text(d, "Combo2"), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(get<QComboBox>(d, "Combo2")->currentIndex(), 16);
    }
};

QTEST_MAIN(TestConnectionSetupForm)
#include "tst_connectionsetupform.moc"
