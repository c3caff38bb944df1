#pragma once

#include "FaultSet.h"

#include <QObject>
#include <QString>

class QSocketNotifier;
class SimInstruments;
class SimSession;

// The load on a pseudo-terminal in raw mode, its slave device linked at a path of the user's
// choosing, as a serial adapter would appear. The simulator keeps the slave open itself so that
// clients can open and close it in turn without the terminal hanging up.
class PtyTransport : public QObject
{
    Q_OBJECT

public:
    PtyTransport(SimInstruments &instruments, const FaultSet &faults, QObject *parent = nullptr);
    ~PtyTransport() override;

    // Creates the terminal and the link; an existing link is replaced, any other file is kept.
    bool open(const QString &linkPath, QString *error);
    QString linkPath() const { return m_linkPath; }
    QString devicePath() const { return m_devicePath; }

Q_SIGNALS:
    // A dropped connection comes back as a new terminal behind the same link.
    void reopened(const QString &linkPath, const QString &devicePath);

private:
    bool create(QString *error);
    void closeTerminal();
    void readMaster();
    void writeMaster(const QByteArray &bytes);
    void drop();

    SimInstruments &m_instruments;
    FaultSet m_faults;
    QString m_linkPath;
    QString m_devicePath;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
    SimSession *m_session = nullptr;
    int m_drainMs = 0;
    static constexpr int drainPollMs = 10;
    static constexpr int dropGraceMs = 50;
};
