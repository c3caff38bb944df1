#include "ui/ConnectionSetupForm.h"

#include "settings/IniFile.h"
#include "settings/IniNumber.h"
#include "settings/LinkSettingsIni.h"
#include "settings/ProgramFolder.h"
#include "ui/LinkSetupPanel.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

const QString loadSection = QStringLiteral("Load Option");
const QString generatorSection = QStringLiteral("AFG Option");
const QString dialogTitle = QStringLiteral("Connect Setup");

QUrl chooseFolderWithDialog(QWidget *parent, const QString &prompt, const QString &startFolder)
{
    return QFileDialog::getExistingDirectoryUrl(
        parent, prompt, QUrl::fromLocalFile(startFolder), QFileDialog::ShowDirsOnly);
}

void showMessageBox(QWidget *parent, const QString &text)
{
    QMessageBox::warning(parent, dialogTitle, text, QMessageBox::Ok);
}

QPushButton *button(const QString &name, const QString &caption)
{
    auto *pushButton = new QPushButton(caption);
    pushButton->setObjectName(name);
    // Enter in a text box must not press a button: only a click saves or cancels.
    pushButton->setAutoDefault(false);
    return pushButton;
}

} // namespace

ConnectionSetupForm::ConnectionSetupForm(Settings &settings, QString iniPath, QWidget *parent)
    : QDialog(parent),
      m_settings(settings),
      m_iniPath(std::move(iniPath)),
      m_chooseFolder(chooseFolderWithDialog),
      m_showMessage(showMessageBox)
{
    setObjectName(QStringLiteral("ConnectionSetupForm"));
    setWindowTitle(dialogTitle);
    setModal(true);

    m_loadPanel = new LinkSetupPanel({QStringLiteral("Load"), QStringLiteral("Load Connection Mode"),
        {QStringLiteral("Option1"), QStringLiteral("Option2"), QStringLiteral("Option3")}, QStringLiteral("Combo1"),
        QStringLiteral("Combo2"), QStringLiteral("Combo3"), QStringLiteral("Combo4"), QStringLiteral("LoadBoardCombo"),
        {QStringLiteral("Text1_0"), QStringLiteral("Text1_1"), QStringLiteral("Text1_2"), QStringLiteral("Text1_3")},
        QStringLiteral("Text2")});
    m_loadPanel->setObjectName(QStringLiteral("loadPanel"));
    m_generatorPanel = new LinkSetupPanel({QStringLiteral("AFG"), QStringLiteral("AFG Connection Mode"),
        {QStringLiteral("Option6"), QStringLiteral("Option5"), QStringLiteral("Option4")}, QStringLiteral("Combo7"),
        QStringLiteral("Combo6"), QStringLiteral("Combo5"), QStringLiteral("Combo8"), QStringLiteral("AfgBoardCombo"),
        {QStringLiteral("Text1_7"), QStringLiteral("Text1_6"), QStringLiteral("Text1_5"), QStringLiteral("Text1_4")},
        QStringLiteral("Text3")});
    m_generatorPanel->setObjectName(QStringLiteral("generatorPanel"));
    m_afgEnable = new QCheckBox(QStringLiteral("AFG Enable"));
    m_afgEnable->setObjectName(QStringLiteral("Check1"));

    auto *generatorColumn = new QVBoxLayout;
    generatorColumn->addWidget(m_afgEnable);
    generatorColumn->addWidget(m_generatorPanel);

    QPushButton *save = button(QStringLiteral("Command1"), QStringLiteral("Save"));
    QPushButton *cancel = button(QStringLiteral("Command2"), QStringLiteral("Cancel"));
    connect(save, &QPushButton::clicked, this, &ConnectionSetupForm::saveAndClose);
    connect(cancel, &QPushButton::clicked, this, &ConnectionSetupForm::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);

    auto *layout = new QGridLayout(this);
    layout->addWidget(m_loadPanel, 0, 0, Qt::AlignTop);
    layout->addLayout(generatorColumn, 0, 1, Qt::AlignTop);
    layout->addWidget(makePathRow(), 1, 0, 1, 2);
    layout->addLayout(buttons, 2, 0, 1, 2);

    setSerialPorts(ComPortCombo::systemPorts());
}

QWidget *ConnectionSetupForm::makePathRow()
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_defaultPath = new QLineEdit;
    m_defaultPath->setObjectName(QStringLiteral("DefaultPathText"));
    QPushButton *choose = button(QStringLiteral("Command3"), QStringLiteral("..."));
    connect(choose, &QPushButton::clicked, this, &ConnectionSetupForm::chooseDefaultFolder);
    layout->addWidget(new QLabel(QStringLiteral("Default Path:")));
    layout->addWidget(m_defaultPath, 1);
    layout->addWidget(choose);
    return row;
}

void ConnectionSetupForm::setSerialPorts(const QList<ComPortCombo::Port> &ports)
{
    m_loadPanel->setSerialPorts(ports);
    m_generatorPanel->setSerialPorts(ports);
}

void ConnectionSetupForm::showEvent(QShowEvent *event)
{
    // A window restored by the window system is not a new showing.
    if (!event->spontaneous())
        showStoredSettings();
    QDialog::showEvent(event);
}

void ConnectionSetupForm::showStoredSettings()
{
    IniFile ini(m_iniPath);
    ini.load();

    const LinkSetupPanel::Stored load = m_loadPanel->showStored(ini, loadSection);
    m_settings.loadLink.ConnectMode = load.connectMode;
    m_settings.loadLink.BoardNo = load.boardNo;

    m_defaultPath->setText(ini.value(loadSection, u"DefaultPath", ProgramFolder::path()));
    IniFile::WriteIniString(m_iniPath, loadSection, QStringLiteral("DefaultPath"), m_defaultPath->text());

    m_settings.AFGEnable = IniNumber::readInt16(ini, generatorSection, u"AFGEnable", 0);
    m_afgEnable->setChecked(m_settings.AFGEnable == 1);

    const LinkSetupPanel::Stored generator = m_generatorPanel->showStored(ini, generatorSection);
    m_settings.generatorLink.ConnectMode = generator.connectMode;
    m_settings.generatorLink.BoardNo = generator.boardNo;
}

void ConnectionSetupForm::saveAndClose()
{
    // Every field is checked before anything is stored, so a refusal leaves memory and file as they were.
    QString problem;
    const auto load = m_loadPanel->entered(m_settings.loadLink, &problem);
    const auto generator = load ? m_generatorPanel->entered(m_settings.generatorLink, &problem) : std::nullopt;
    if (!load || !generator) {
        m_showMessage(this, problem);
        return;
    }

    m_settings.loadLink = *load;
    m_settings.DefaultPath = m_defaultPath->text();
    m_settings.AFGEnable = m_afgEnable->isChecked() ? 1 : 0;
    m_settings.generatorLink = *generator;

    // One read and one write of the file, the keys changed in the order of single-key writes.
    IniFile ini(m_iniPath);
    if (ini.load()) {
        LinkSettingsIni::write(ini, loadSection, m_settings.loadLink, LinkSettingsIni::WriteOrder::AddressFirst);
        ini.setValue(loadSection, u"DefaultPath", m_settings.DefaultPath);
        ini.setValue(generatorSection, u"AFGEnable", QString::number(m_settings.AFGEnable));
        LinkSettingsIni::write(
            ini, generatorSection, m_settings.generatorLink, LinkSettingsIni::WriteOrder::AddressFirst);
        ini.save();
    }
    accept();
}

void ConnectionSetupForm::chooseDefaultFolder()
{
    const QString current = m_defaultPath->text();
    const QString start = QFileInfo(current).isDir() ? current : QDir::rootPath();
    const QUrl chosen = m_chooseFolder(this, QStringLiteral("Please select Report Path"), start);
    // A cancelled choice, or a folder that is not on the file system, changes nothing.
    if (chosen.isEmpty() || !chosen.isLocalFile() || chosen.toLocalFile().isEmpty())
        return;
    m_defaultPath->setText(QDir::toNativeSeparators(chosen.toLocalFile()));
}

void ConnectionSetupForm::done(int result)
{
    QDialog::done(result);
    Q_EMIT closedRestartIdentification();
}
