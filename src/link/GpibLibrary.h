#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <functional>

// The NI-488.2 style C API of linux-gpib, loaded when GPIB is first used, so the program builds and
// runs on machines without it. Every call runs on a thread of its own and is awaited, so the calling
// thread keeps serving its events: a read may block for the device's whole time-out.
class GpibLibrary
{
public:
    static constexpr const char *DefaultFile = "libgpib.so.0";
    static constexpr int ReadBufferSize = 256;

    explicit GpibLibrary(QString fileName = QString::fromLatin1(DefaultFile));
    ~GpibLibrary();
    GpibLibrary(const GpibLibrary &) = delete;
    GpibLibrary &operator=(const GpibLibrary &) = delete;

    // The library of the whole program.
    static GpibLibrary &instance();

    // Loads the library on first use; false when it or one of its functions is missing.
    bool load();
    // Why the library could not be loaded, for the operator.
    QString loadError() const { return m_loadError; }

    QCoro::Task<int> ibdev(int board, int primaryAddress, int secondaryAddress, int timeout, int sendEoi, int eosMode);
    QCoro::Task<> ibwrt(int handle, QByteArray data);
    // ibrd into a 256-byte buffer; the bytes are the first ThreadIbcntl() of it (none when that is
    // 0 or less).
    QCoro::Task<QByteArray> ibrd(int handle);
    // The bytes an ibrd into `buffer` gave, by the count the library reported.
    static QByteArray bytesRead(const QByteArray &buffer, long count);

private:
    using IbdevFn = int (*)(int, int, int, int, int, int);
    using IbwrtFn = int (*)(int, const void *, long);
    using IbrdFn = int (*)(int, void *, long);
    using IbcntlFn = long (*)();

    static QCoro::Task<> runOffThread(std::function<void()> job);

    QString m_fileName;
    void *m_handle = nullptr;
    bool m_tried = false;
    QString m_loadError;
    IbdevFn m_ibdev = nullptr;
    IbwrtFn m_ibwrt = nullptr;
    IbrdFn m_ibrd = nullptr;
    IbcntlFn m_threadIbcntl = nullptr;
};
