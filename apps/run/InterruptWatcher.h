#pragma once

#include <QObject>
#include <QSocketNotifier>

// Turns SIGINT, SIGTERM, SIGHUP and SIGQUIT into a Qt signal on the event loop, so that the run can switch the
// load off before the program ends.
class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatcher(QObject *parent = nullptr);
    ~InterruptWatcher() override;

Q_SIGNALS:
    void interrupted();

private:
    static void handle(int signal);
    static int s_fds[2];
    QSocketNotifier *m_notifier = nullptr;
};
