#pragma once

#include <QObject>

// Ends every wait that watches it, at once and for good: Stop, closing the window and a signal to
// the runner cancel the run's token, and the run's pauses, reply waits and sampling waits return.
class CancelToken : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    bool isCancelled() const { return m_cancelled; }
    void cancel();

Q_SIGNALS:
    void cancelled();

private:
    bool m_cancelled = false;
};
