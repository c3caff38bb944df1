#pragma once

#include <QString>

// The narrow interface through which the engine talks to an instrument. The load link and the
// generator link implement it over serial, GPIB or LAN; unit tests use a scripted fake.
// The generator's documented operations are these on the generator link: GenConnect is
// LinkConnect, GenSend is LinkSend, GenQuery is LinkQuery.
//
// No operation fails towards its caller: a missing reply is "ErrRec", a closed port gives "".
class InstrumentLink
{
public:
    virtual ~InstrumentLink() = default;

    // Opens the transport chosen by the link's settings; "REM" follows on serial and LAN.
    virtual void LinkConnect() = 0;
    // Sends one command line and traces it.
    virtual void LinkSend(const QString &command) = 0;
    // Waits for the reply to what was sent last; traces it.
    virtual QString LinkQuery() = 0;
    // Reads a reply without the query's trace line (LAN: whatever arrived, without waiting).
    virtual QString LinkRead() = 0;
    // ReplyBuffer <- "": callers clear it before each query.
    virtual void clearReply() = 0;
    // The transport in use: 0 serial, 1 GPIB, 2 LAN.
    virtual int connectMode() const = 0;

    // Clears the reply, sends the query and waits for its reply.
    QString ask(const QString &query)
    {
        clearReply();
        LinkSend(query);
        return LinkQuery();
    }
};

// The text every read returns when no usable reply came.
inline const QString ErrRec = QStringLiteral("ErrRec");
