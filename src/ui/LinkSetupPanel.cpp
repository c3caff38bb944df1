#include "ui/LinkSetupPanel.h"

#include "model/NumberText.h"
#include "settings/IniNumber.h"
#include "settings/LinkSettingsIni.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

constexpr qint32 MinBaudRate = 1;
constexpr qint32 MaxBaudRate = 4000000;
// GPIB primary addresses.
constexpr qint32 MinAddress = 0;
constexpr qint32 MaxAddress = 30;
// linux-gpib's board indexes (the minor numbers of /dev/gpib0 to /dev/gpib15).
constexpr qint32 MinBoard = 0;
constexpr qint32 MaxBoard = 15;
constexpr qint32 MinIpPart = 0;
constexpr qint32 MaxIpPart = 255;
using LinkSettingsIni::MaxLanPort;
using LinkSettingsIni::MinLanPort;

constexpr qint16 DefaultHandShake = 2;

QComboBox *editableCombo(const QString &name, const QStringList &entries)
{
    auto *combo = new QComboBox;
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(entries);
    return combo;
}

void setComboText(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        combo->setCurrentIndex(index);
    combo->setEditText(text);
}

QLineEdit *lineEdit(const QString &name)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(name);
    return edit;
}

QStringList numberList(int first, int last)
{
    QStringList list;
    for (int number = first; number <= last; ++number)
        list.append(QString::number(number));
    return list;
}

// The whole text as an integer within [minimum, maximum], rounded halves to even as every
// integer the program reads.
std::optional<qint32> wholeNumber(const QString &text, qint32 minimum, qint32 maximum)
{
    const auto number = NumberText::strict(text);
    if (!number)
        return std::nullopt;
    const auto value = NumberText::toInt32(*number);
    if (!value || *value < minimum || *value > maximum)
        return std::nullopt;
    return value;
}

} // namespace

const QStringList &LinkSetupPanel::handShakeNames()
{
    static const QStringList names{QStringLiteral("None"), QStringLiteral("XON/XOFF"), QStringLiteral("RTS/CTS"),
        QStringLiteral("RTS/CTS and XON/XOFF")};
    return names;
}

LinkSetupPanel::LinkSetupPanel(const Names &names, QWidget *parent) : QWidget(parent), m_linkName(names.link)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makeModeFrame(names));

    // The three setup frames lie on the same spot; only one is ever shown.
    auto *setupArea = new QGridLayout;
    m_frames = {makeSerialFrame(names), makeGpibFrame(names), makeLanFrame(names)};
    for (QGroupBox *frame : m_frames)
        setupArea->addWidget(frame, 0, 0, Qt::AlignTop);
    layout->addLayout(setupArea);
    layout->addStretch();
    selectConnectMode(0);
}

QGroupBox *LinkSetupPanel::makeModeFrame(const Names &names)
{
    auto *frame = new QGroupBox(names.modeTitle);
    auto *row = new QHBoxLayout(frame);
    m_modes = new QButtonGroup(this);
    const QStringList captions{QStringLiteral("RS-232/USB"), QStringLiteral("GPIB"), QStringLiteral("LAN")};
    for (int mode = 0; mode < 3; ++mode) {
        auto *option = new QRadioButton(captions.at(mode));
        option->setObjectName(names.options.at(mode));
        m_modes->addButton(option, mode);
        row->addWidget(option);
    }
    connect(m_modes, &QButtonGroup::idToggled, this, [this](int mode, bool checked) {
        if (checked)
            selectConnectMode(mode);
    });
    return frame;
}

QGroupBox *LinkSetupPanel::makeSerialFrame(const Names &names)
{
    auto *frame = new QGroupBox(QStringLiteral("RS-232 Setup"));
    frame->setObjectName(QStringLiteral("rs232Frame"));
    m_baudRate = editableCombo(names.baudRate, {QStringLiteral("9600"), QStringLiteral("115200")});
    m_comPort = new ComPortCombo;
    m_comPort->setObjectName(names.comPort);
    m_handShake = editableCombo(names.handShake, handShakeNames());
    auto *form = new QFormLayout(frame);
    form->addRow(QStringLiteral("Baudrate"), m_baudRate);
    form->addRow(QStringLiteral("COM Port"), m_comPort);
    form->addRow(QStringLiteral("HandShake"), m_handShake);
    return frame;
}

QGroupBox *LinkSetupPanel::makeGpibFrame(const Names &names)
{
    auto *frame = new QGroupBox(QStringLiteral("GPIB Setup"));
    frame->setObjectName(QStringLiteral("gpibFrame"));
    m_address = editableCombo(names.address, numberList(MinAddress, MaxAddress));
    m_boardNo = editableCombo(names.boardNo, numberList(MinBoard, MaxBoard));
    m_boardNo->setToolTip(QStringLiteral("The GPIB board (interface) index as configured for linux-gpib"));
    auto *form = new QFormLayout(frame);
    form->addRow(QStringLiteral("Address"), m_address);
    form->addRow(QStringLiteral("Board"), m_boardNo);
    return frame;
}

QGroupBox *LinkSetupPanel::makeLanFrame(const Names &names)
{
    auto *frame = new QGroupBox(QStringLiteral("LAN Setup"));
    frame->setObjectName(QStringLiteral("lanFrame"));
    auto *address = new QHBoxLayout;
    for (int part = 0; part < 4; ++part) {
        m_lanIp.at(part) = lineEdit(names.lanIp.at(part));
        address->addWidget(m_lanIp.at(part));
    }
    m_lanPort = lineEdit(names.lanPort);
    auto *form = new QFormLayout(frame);
    form->addRow(QStringLiteral("IP Address"), address);
    form->addRow(QStringLiteral("Port"), m_lanPort);
    return frame;
}

LinkSetupPanel::Stored LinkSetupPanel::showStored(const IniFile &ini, QStringView section)
{
    const Stored stored{
        IniNumber::readInt16(ini, section, u"ConnectMode", 0), IniNumber::readInt16(ini, section, u"BoardNo", 0)};
    // A transport number without an option leaves the option as it is.
    if (stored.connectMode >= 0 && stored.connectMode <= 2)
        selectConnectMode(stored.connectMode);
    setComboText(m_baudRate, ini.value(section, u"BaudRate", QStringLiteral("115200")));
    // Read as the settings loader reads it, so the box shows the handshake the link uses; a value
    // without an entry shows the default.
    const qint16 handShake = IniNumber::readInt16(ini, section, u"HandShake", DefaultHandShake, 0, 3);
    setComboText(m_handShake, handShakeNames().at(handShake));
    m_comPort->setValue(ini.value(section, u"COMPort", QStringLiteral("1")));
    setComboText(m_address, ini.value(section, u"Address", QStringLiteral("5")));
    setComboText(m_boardNo, QString::number(stored.boardNo));
    // The dialog's own defaults: 192.168.16.128 for both links.
    const std::array<const char16_t *, 4> ipKeys{u"LanIP1", u"LanIP2", u"LanIP3", u"LanIP4"};
    const std::array<QString, 4> ipDefaults{
        QStringLiteral("192"), QStringLiteral("168"), QStringLiteral("16"), QStringLiteral("128")};
    for (int part = 0; part < 4; ++part)
        m_lanIp.at(part)->setText(ini.value(section, ipKeys.at(part), ipDefaults.at(part)));
    m_lanPort->setText(ini.value(section, u"LanPort", QStringLiteral("4001")));
    return stored;
}

int LinkSetupPanel::connectMode() const { return m_modes->checkedId(); }

void LinkSetupPanel::selectConnectMode(int mode)
{
    if (mode < 0 || mode > 2)
        return;
    m_modes->button(mode)->setChecked(true);
    for (int frame = 0; frame < 3; ++frame)
        m_frames.at(frame)->setVisible(frame == mode);
}

void LinkSetupPanel::setSerialPorts(const QList<ComPortCombo::Port> &ports) { m_comPort->setSystemPorts(ports); }

std::optional<LinkSettings> LinkSetupPanel::entered(const LinkSettings &current, QString *problem) const
{
    const auto refuse = [&](const QString &field, const QString &text, qint32 minimum, qint32 maximum) {
        if (problem) {
            *problem = QStringLiteral("%1 %2 must be a number from %3 to %4, not \"%5\". Nothing was saved.")
                           .arg(m_linkName, field, QString::number(minimum), QString::number(maximum), text);
        }
        return std::nullopt;
    };

    LinkSettings link = current;
    link.ConnectMode = qint16(connectMode());
    const QString baudText = m_baudRate->currentText();
    const auto baudRate = wholeNumber(baudText, MinBaudRate, MaxBaudRate);
    if (!baudRate)
        return refuse(QStringLiteral("Baudrate"), baudText, MinBaudRate, MaxBaudRate);
    link.BaudRate = *baudRate;
    const qsizetype handShake = handShakeNames().indexOf(m_handShake->currentText());
    if (handShake >= 0)
        link.HandShake = qint16(handShake);
    link.COMPort = m_comPort->value();
    const QString addressText = m_address->currentText();
    const auto address = wholeNumber(addressText, MinAddress, MaxAddress);
    if (!address)
        return refuse(QStringLiteral("GPIB Address"), addressText, MinAddress, MaxAddress);
    link.Address = qint16(*address);
    const QString boardText = m_boardNo->currentText();
    const auto board = wholeNumber(boardText, MinBoard, MaxBoard);
    if (!board)
        return refuse(QStringLiteral("GPIB Board"), boardText, MinBoard, MaxBoard);
    link.BoardNo = qint16(*board);
    const std::array<qint16 LinkSettings::*, 4> ipFields{
        &LinkSettings::LanIP1, &LinkSettings::LanIP2, &LinkSettings::LanIP3, &LinkSettings::LanIP4};
    for (int part = 0; part < 4; ++part) {
        const QString text = m_lanIp.at(part)->text();
        const auto value = wholeNumber(text, MinIpPart, MaxIpPart);
        if (!value)
            return refuse(QStringLiteral("IP Address part %1").arg(part + 1), text, MinIpPart, MaxIpPart);
        link.*ipFields.at(part) = qint16(*value);
    }
    const QString portText = m_lanPort->text();
    const auto port = wholeNumber(portText, MinLanPort, MaxLanPort);
    if (!port)
        return refuse(QStringLiteral("LAN Port"), portText, MinLanPort, MaxLanPort);
    link.LanPort = *port;
    return link;
}
