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
    m_about = addTextAction(QStringLiteral("&About"), [] { return HelpTexts::about(); });
    m_keys = addTextAction(QStringLiteral("&Keys"), [] { return HelpTexts::keys(); });
    // Read when asked: the log's place is set once the window is built.
    m_places = addTextAction(QStringLiteral("&Where Files Are Kept"),
        [this] { return HelpTexts::places(m_engine.iniPath(), m_engine.log().path(), m_engine.runStore().path()); });
}

QAction *HelpMenu::addTextAction(const QString &caption, std::function<QString()> text)
{
    QAction *action = addAction(caption);
    connect(action, &QAction::triggered, this,
        [this, caption, text = std::move(text)] { m_textBox(QString(caption).remove(u'&'), text()); });
    return action;
}
