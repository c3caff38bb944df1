#pragma once

#include <QMenu>
#include <functional>

class Engine;

// "Help": About, the keys, and where the settings, logs and runs are kept.
class HelpMenu : public QMenu
{
    Q_OBJECT

public:
    // Shows a text under a title (by default in a box whose text can be selected and copied).
    using TextBox = std::function<void(const QString &title, const QString &text)>;

    HelpMenu(Engine &engine, QWidget *parent);

    void setTextBox(TextBox box) { m_textBox = std::move(box); }

private:
    // An action that shows the text, made when asked, under its caption.
    void addTextAction(const QString &caption, std::function<QString()> text);

    Engine &m_engine;
    TextBox m_textBox;
};
