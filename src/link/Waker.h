#pragma once

#include <QObject>

// Wakes a reply wait when something it waits for may have changed (data arrived, the connection
// dropped), so that a wait never polls.
class Waker : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    void wake() { Q_EMIT woken(); }

Q_SIGNALS:
    void woken();
};
