#pragma once

#include "LinePeer.h"

#include <QSocketNotifier>
#include <memory>

// A serial instrument on a pseudo-terminal: the program opens slavePath() as its port, the test
// holds the master side.
class PtyPeer : public LinePeer
{
    Q_OBJECT

public:
    explicit PtyPeer(QObject *parent = nullptr);
    ~PtyPeer() override;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    // Sends bytes unasked and returns once the program's end of the terminal holds them, before any
    // event of the program runs.
    void pushNow(const QByteArray &bytes);
    // Hangs up, as an unplugged USB adapter does.
    void close();

protected:
    void send(const QByteArray &bytes) override;

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
