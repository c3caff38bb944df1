#include "link/GpibLibrary.h"

#include "link/WakeAwaiter.h"
#include "link/Waker.h"

#include <QMetaObject>
#include <atomic>
#include <dlfcn.h>
#include <thread>

GpibLibrary::GpibLibrary(QString fileName) : m_fileName(std::move(fileName)) { }

GpibLibrary::~GpibLibrary()
{
    if (m_handle)
        ::dlclose(m_handle);
}

GpibLibrary &GpibLibrary::instance()
{
    static GpibLibrary library;
    return library;
}

bool GpibLibrary::load()
{
    if (m_tried)
        return m_handle != nullptr;
    m_tried = true;
    void *handle = ::dlopen(m_fileName.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        m_loadError = QString::fromLocal8Bit(::dlerror());
        return false;
    }
    m_ibdev = reinterpret_cast<IbdevFn>(::dlsym(handle, "ibdev"));
    m_ibwrt = reinterpret_cast<IbwrtFn>(::dlsym(handle, "ibwrt"));
    m_ibrd = reinterpret_cast<IbrdFn>(::dlsym(handle, "ibrd"));
    m_threadIbcntl = reinterpret_cast<IbcntlFn>(::dlsym(handle, "ThreadIbcntl"));
    if (!m_ibdev || !m_ibwrt || !m_ibrd || !m_threadIbcntl) {
        m_loadError = QStringLiteral("%1 lacks ibdev, ibwrt, ibrd or ThreadIbcntl").arg(m_fileName);
        ::dlclose(handle);
        return false;
    }
    m_handle = handle;
    return true;
}

QCoro::Task<> GpibLibrary::runOffThread(std::function<void()> job)
{
    std::atomic_bool finished = false;
    Waker done;
    std::thread worker([&] {
        job();
        finished = true;
        QMetaObject::invokeMethod(&done, &Waker::wake, Qt::QueuedConnection);
    });
    // The worker uses this frame, so the wait is not cancellable; the device's 1-second time-out
    // bounds it.
    while (!finished)
        co_await WakeAwaiter(1000, &done, nullptr);
    worker.join();
}

QCoro::Task<int> GpibLibrary::ibdev(
    int board, int primaryAddress, int secondaryAddress, int timeout, int sendEoi, int eosMode)
{
    if (!load())
        co_return 0;
    int handle = 0;
    co_await runOffThread(
        [&] { handle = m_ibdev(board, primaryAddress, secondaryAddress, timeout, sendEoi, eosMode); });
    co_return handle;
}

QCoro::Task<> GpibLibrary::ibwrt(int handle, QByteArray data)
{
    if (!load())
        co_return;
    co_await runOffThread([&] { m_ibwrt(handle, data.constData(), long(data.size())); });
}

QCoro::Task<QByteArray> GpibLibrary::ibrd(int handle)
{
    if (!load())
        co_return QByteArray();
    QByteArray buffer(ReadBufferSize, '\0');
    long count = 0;
    // The byte count is the calling thread's, so it is taken on the thread that read.
    co_await runOffThread([&] {
        m_ibrd(handle, buffer.data(), long(buffer.size()));
        count = m_threadIbcntl();
    });
    co_return bytesRead(buffer, count);
}

QByteArray GpibLibrary::bytesRead(const QByteArray &buffer, long count)
{
    if (count <= 0)
        return QByteArray();
    return buffer.left(qsizetype(std::min<long>(count, buffer.size())));
}
