#pragma once

#include <QObject>
#include <QString>

#include <csignal>
#include <iterator>

class QSocketNotifier;

// Turns SIGINT, SIGTERM, SIGHUP and SIGQUIT into a Qt signal on the event loop, so that a run can
// switch the load off before the program ends. One at a time in a process; it gives the signals
// back to whoever handled them before when it goes.
class InterruptWatcher : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatcher(QObject *parent = nullptr);
    ~InterruptWatcher() override;

    // "SIGTERM" and the like.
    static QString signalName(int signal);

Q_SIGNALS:
    void interrupted(int signal);

private:
    // A closed terminal or a dropped ssh session (SIGHUP), Ctrl+\ (SIGQUIT), a logout or a
    // shutdown (SIGTERM) end the run like Ctrl+C: the load is never left sinking because the
    // program was told to go.
    static constexpr int Watched[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

    static void handle(int signal);
    static int s_fds[2];
    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_previous[std::size(Watched)] = {};
};
