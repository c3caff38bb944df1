#pragma once

#include <QObject>

// Whether the Esc key now down was a popup's first (a drop-down's or a menu's, which it closes):
// such an Esc is spent, and nothing else acts on it when it comes on after the popup has gone.
// Watches the application's key events.
class PopupEscapeWatch : public QObject
{
    Q_OBJECT

public:
    explicit PopupEscapeWatch(QObject *parent = nullptr);
    ~PopupEscapeWatch() override;

    bool popupTookIt() const { return m_popupTookIt; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_popupTookIt = false;
};
