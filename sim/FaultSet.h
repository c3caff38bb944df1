#pragma once

#include <QString>

// Misbehaviour to inject on each connection of the load, as real links show it. Counts are per
// TCP connection, and from its creation for a pseudo-terminal; 0 means the fault is off.
class FaultSet
{
public:
    // Adds one or several comma-separated faults ("delay=200,split=3"); false with a message
    // naming the bad item.
    bool add(const QString &text, QString *error);

    static QString help();

    int silentAfter = 0; // replies stop after this many received lines
    int delayMs = 0; // every reply leaves this late
    int splitPieces = 0; // every reply goes out in this many pieces, sent apart
    int garbageEvery = 0; // every n-th reply is replaced by a garbage line
    int dropAfter = 0; // the connection is dropped after this many received lines

    // The pause between two pieces of a split reply.
    static constexpr int splitGapMs = 20;
    static constexpr char garbageLine[] = "#~%GARBLED%~#";
};
