#include "ui/HelpMenu.h"

#include "station/Engine.h"
#include "ui/HelpTexts.h"

#include <QMessageBox>

HelpMenu::HelpMenu(Engine &engine, QWidget *parent) : QMenu(QStringLiteral("&Help"), parent), m_engine(engine)
{
    setObjectName(QStringLiteral("HelpMenu"));
    m_textBox = [this](const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parentWidget());
        box.setTextInteractionFlags(Qt::TextSelectableByMouse);
        box.exec();
    };
    addTextAction(QStringLiteral("&About"), [] { return HelpTexts::about(); });
    addTextAction(QStringLiteral("&Keys"), [] { return HelpTexts::keys(); });
    // Read when asked: the log's place is set once the window is built.
    addTextAction(QStringLiteral("&Where Files Are Kept"),
        [this] { return HelpTexts::places(m_engine.iniPath(), m_engine.log().path(), m_engine.runStore().path()); });
}

void HelpMenu::addTextAction(const QString &caption, std::function<QString()> text)
{
    connect(addAction(caption), &QAction::triggered, this,
        [this, caption, text = std::move(text)] { m_textBox(QString(caption).remove(u'&'), text()); });
}
