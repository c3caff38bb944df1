#pragma once

#include "link/LinkTransport.h"

class GpibLibrary;

// GPIB through the NI-488.2 style library: bare command text (the library ends it with EOI), one
// read of up to 256 bytes bounded by the device's 1-second time-out. A read that fills the 256 bytes
// without ending its line holds a reply cut short: it is none.
class GpibTransport : public LinkTransport
{
    Q_OBJECT

public:
    // ibdev arguments besides the board and the address: no secondary address, 1-second time-out
    // (code 11), EOI with the last byte written, no end-of-string character.
    static constexpr int SecondaryAddress = 0;
    static constexpr int TimeoutCode = 11;
    static constexpr int SendEoi = 11;
    static constexpr int EosMode = 1;

    GpibTransport(GpibLibrary &library, Clock &clock, TraceList &trace, QObject *parent = nullptr);

    QCoro::Task<> open(const LinkSettings &settings) override;
    QCoro::Task<> write(const QString &command) override;
    QCoro::Task<QString> query() override { return read(); }
    QCoro::Task<QString> read() override;

    // What ibdev returned last (a failure's negative value unchanged); 0 before the first connect.
    qint16 handle() const { return m_handle; }

private:
    GpibLibrary &m_library;
    qint16 m_handle = 0;
};
