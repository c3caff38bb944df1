#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Misbehaviour to inject into the load's link, as real links and loads show it. The link's faults
// count per TCP connection, and from its creation for a pseudo-terminal. Outages and unusable
// replies are the load's own: they count the replies to one line over the simulator's whole life,
// so a new connection does not heal them. 0 or an empty line means the fault is off.
class FaultSet
{
public:
    // The load goes out of reach after the `reply`-th reply to the outage line, for `ms`.
    struct Outage
    {
        int reply = 0;
        int ms = 0;
    };

    // Adds one or several comma-separated faults ("delay=200,split=3"); false with a message
    // naming the bad item.
    bool add(const QString &text, QString *error);
    // Whether the faults added so far make sense together; false with a message otherwise.
    bool check(QString *error) const;

    static QString help();

    int silentAfter = 0; // replies stop after this many received lines
    int delayMs = 0; // every reply leaves this late
    int splitPieces = 0; // every reply goes out in this many pieces, sent apart
    int garbageEvery = 0; // every n-th reply is replaced by a garbage line
    int dropAfter = 0; // the connection is dropped after this many received lines
    QByteArray dropLine; // the connection is dropped after each time this line is received
    int lateMs = 0; // every reply to lateLine leaves this late
    QByteArray lateLine;
    QList<Outage> outages; // in the order of their replies
    QByteArray outageLine = defaultOutageLine;
    QByteArray unusableLine; // the replies to this line are replaced by a garbage line
    int unusableAfter = 1; // from this reply to unusableLine on
    QByteArray unusableReply = garbageLine; // ...this one
    int unusableRepeat = 1; // ...this many times over, as one line
    QByteArray lineEnd = "\r\n"; // what ends every reply of the load

    // The line that stands for an unusable reply.
    QByteArray unusableText() const { return unusableReply.repeated(unusableRepeat); }

    // The pause between two pieces of a split reply.
    static constexpr int splitGapMs = 20;
    static constexpr char garbageLine[] = "#~%GARBLED%~#";
    static constexpr char defaultOutageLine[] = "MEAS:VC?";

private:
    bool addItem(const QString &name, const QString &value, QString *problem);
};
