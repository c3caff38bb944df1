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
    QAction *aboutAction() const { return m_about; }
    QAction *keysAction() const { return m_keys; }
    QAction *placesAction() const { return m_places; }

private:
    QAction *addTextAction(const QString &caption, std::function<QString()> text);

    Engine &m_engine;
    TextBox m_textBox;
    QAction *m_about = nullptr;
    QAction *m_keys = nullptr;
    QAction *m_places = nullptr;
};
