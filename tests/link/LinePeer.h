#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>

// The instrument's side of a link in tests: records every byte the program sent and answers the
// lines it knows from a script, in pieces if asked, so that each test sees the exact bytes on the
// wire.
class LinePeer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // When `line` (without its line end) arrives, send these pieces, `gapMs` apart.
    void answer(const QByteArray &line, const QList<QByteArray> &pieces, int gapMs = 0);
    // Sends bytes now, unasked.
    void push(const QByteArray &bytes) { send(bytes); }

    const QByteArray &received() const { return m_received; }
    QList<QByteArray> lines() const { return m_lines; }

Q_SIGNALS:
    void lineReceived(const QByteArray &line);

protected:
    void feed(const QByteArray &bytes);
    virtual void send(const QByteArray &bytes) = 0;

private:
    QByteArray m_received;
    QByteArray m_pending;
    QList<QByteArray> m_lines;
    QHash<QByteArray, QList<QByteArray>> m_answers;
    QHash<QByteArray, int> m_gaps;
};
