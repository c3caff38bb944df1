#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the event loop on SIGINT and SIGTERM, so that the simulator cleans up (its terminal link)
// instead of dying in the middle. The signal handler only writes to a pipe; the loop does the rest.
class SignalQuitter : public QObject
{
    Q_OBJECT

public:
    explicit SignalQuitter(QObject *parent = nullptr);
    ~SignalQuitter() override;

private:
    static void onSignal(int signal);
    void drain();

    static int s_fds[2];
    QSocketNotifier *m_notifier = nullptr;
};
