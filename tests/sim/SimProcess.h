#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>

// The built vornic-sim as a child process, with what it announced on stdout.
class SimProcess
{
public:
    explicit SimProcess(const QStringList &arguments);
    ~SimProcess();

    // Waits until the simulator printed `count` lines.
    bool waitForAnnouncements(int count);
    QStringList announcements() const;
    // The port of "load tcp 127.0.0.1:PORT" or "generator tcp 127.0.0.1:PORT".
    quint16 port(const QString &listener) const;
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_out;
};
