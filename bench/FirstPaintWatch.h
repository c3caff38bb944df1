#pragma once

#include <QObject>
#include <functional>

// Calls back once a widget's first paint is done, its children's included: painting runs to the end
// before the event loop takes the next event, so the callback is queued from the first Paint event.
class FirstPaintWatch : public QObject
{
    Q_OBJECT

public:
    FirstPaintWatch(QObject *widget, std::function<void()> painted);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> m_painted;
    bool m_seen = false;
};
