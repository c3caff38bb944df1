#pragma once

#include "settings/Settings.h"
#include "ui/ComPortCombo.h"

#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>

class LinkSetupPanel;
class QCheckBox;
class QLineEdit;
class QPushButton;

// "Connect Setup": how the load and the function generator are reached, whether the generator is
// used, and the report folder. Each showing starts from the settings file; "Save" writes the file
// and `Settings`. However it closes, it emits closedRestartIdentification(), so that the links are
// opened afresh with the settings then in force.
class ConnectionSetupForm : public QDialog
{
    Q_OBJECT

public:
    // Asks for a folder; an empty URL when the operator cancels.
    using FolderChooser = std::function<QUrl(QWidget *parent, const QString &prompt, const QString &startFolder)>;
    // Shows a message with an OK button only.
    using MessageBox = std::function<void(QWidget *parent, const QString &text)>;

    ConnectionSetupForm(Settings &settings, QString iniPath, QWidget *parent = nullptr);

    void setFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }
    void setMessageBox(MessageBox messageBox) { m_showMessage = std::move(messageBox); }
    // Replaces the serial devices listed after the port numbers in both "COM Port" boxes.
    void setSerialPorts(const QList<ComPortCombo::Port> &ports);

    void done(int result) override;

Q_SIGNALS:
    void closedRestartIdentification();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showStoredSettings();
    void saveAndClose();
    void chooseDefaultFolder();
    QWidget *makePathRow();

    Settings &m_settings;
    QString m_iniPath;
    FolderChooser m_chooseFolder;
    MessageBox m_showMessage;
    LinkSetupPanel *m_loadPanel = nullptr;
    LinkSetupPanel *m_generatorPanel = nullptr;
    QCheckBox *m_afgEnable = nullptr;
    QLineEdit *m_defaultPath = nullptr;
};
