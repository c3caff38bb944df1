#pragma once

#include "FaultSet.h"

#include <QObject>
#include <QString>

class QSocketNotifier;
class SharedFaults;
class SimInstruments;
class SimSession;

// The load on a pseudo-terminal in raw mode, its slave device linked at a path of the user's
// choosing, as a serial adapter would appear. The simulator keeps the slave open itself so that
// clients can open and close it in turn without the terminal hanging up. In an outage of the load
// the link goes away and the terminal hangs up; afterwards a new terminal appears behind the link.
class PtyTransport : public QObject
{
    Q_OBJECT

public:
    PtyTransport(
        SimInstruments &instruments, const FaultSet &faults, SharedFaults *shared = nullptr, QObject *parent = nullptr);
    ~PtyTransport() override;

    // Creates the terminal and the link; an existing link is replaced, any other file is kept.
    bool open(const QString &linkPath, QString *error);
    QString linkPath() const { return m_linkPath; }
    QString devicePath() const { return m_devicePath; }

Q_SIGNALS:
    // A dropped connection, or one ended by an outage, comes back as a new terminal behind the same
    // link.
    void reopened(const QString &linkPath, const QString &devicePath);

private:
    bool create(QString *error);
    void closeTerminal();
    void readMaster();
    void writeMaster(const QByteArray &bytes);
    void closeWhenRead();
    void reopen();
    void goDown();
    void comeUp();

    SimInstruments &m_instruments;
    FaultSet m_faults;
    SharedFaults *m_shared;
    QString m_linkPath;
    QString m_devicePath;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
    SimSession *m_session = nullptr;
    int m_drainMs = 0;
    bool m_closing = false;
    bool m_down = false; // out of reach for an outage
    static constexpr int drainPollMs = 10;
    static constexpr int dropGraceMs = 50;
};
