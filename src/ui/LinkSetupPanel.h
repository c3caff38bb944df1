#pragma once

#include "link/LinkSettings.h"
#include "settings/IniFile.h"
#include "ui/ComPortCombo.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QWidget>
#include <array>
#include <optional>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLineEdit;

// The controls of one instrument link in the connection dialog: its transport options and the
// "RS-232 Setup", "GPIB Setup" and "LAN Setup" frames, of which only the selected transport's
// frame is shown.
class LinkSetupPanel : public QWidget
{
    Q_OBJECT

public:
    // Object names of the controls, and the name of the link in messages.
    struct Names
    {
        QString link;
        QString modeTitle;
        std::array<QString, 3> options; // RS-232/USB, GPIB, LAN
        QString baudRate;
        QString comPort;
        QString handShake;
        QString address;
        QString boardNo;
        std::array<QString, 4> lanIp; // first to fourth part of the address
        QString lanPort;
    };

    // The handshakes as shown, in the order of their stored numbers 0 to 3.
    static const QStringList &handShakeNames();

    explicit LinkSetupPanel(const Names &names, QWidget *parent = nullptr);

    // What the opening routine takes from the file into memory; the rest is only shown.
    struct Stored
    {
        qint16 connectMode;
        qint16 boardNo;
    };
    // Shows the link's keys of `section` as stored, each missing key as its default.
    Stored showStored(const IniFile &ini, QStringView section);

    // The transport selected: 0 RS-232/USB, 1 GPIB, 2 LAN. Selecting shows that transport's frame.
    int connectMode() const;
    void selectConnectMode(int mode);

    void setSerialPorts(const QList<ComPortCombo::Port> &ports);

    // The link as entered, starting from `current` (a handshake text that is none of the four
    // shown keeps its handshake). Nothing, and `problem` says why, when a number is unusable.
    std::optional<LinkSettings> entered(const LinkSettings &current, QString *problem) const;

private:
    QGroupBox *makeModeFrame(const Names &names);
    QGroupBox *makeSerialFrame(const Names &names);
    QGroupBox *makeGpibFrame(const Names &names);
    QGroupBox *makeLanFrame(const Names &names);

    QString m_linkName;
    QButtonGroup *m_modes = nullptr;
    std::array<QGroupBox *, 3> m_frames{};
    QComboBox *m_baudRate = nullptr;
    ComPortCombo *m_comPort = nullptr;
    QComboBox *m_handShake = nullptr;
    QComboBox *m_address = nullptr;
    QComboBox *m_boardNo = nullptr;
    std::array<QLineEdit *, 4> m_lanIp{};
    QLineEdit *m_lanPort = nullptr;
};
