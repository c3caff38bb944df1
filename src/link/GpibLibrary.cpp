#include "link/GpibLibrary.h"

#include <QEventLoop>
#include <QMetaObject>
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

void GpibLibrary::runOffThread(const std::function<void()> &job)
{
    QEventLoop loop;
    bool done = false;
    std::thread worker([&] {
        job();
        QMetaObject::invokeMethod(
            &loop,
            [&] {
                done = true;
                loop.quit();
            },
            Qt::QueuedConnection);
    });
    if (!done)
        loop.exec();
    worker.join();
}

int GpibLibrary::ibdev(int board, int primaryAddress, int secondaryAddress, int timeout, int sendEoi, int eosMode)
{
    if (!load())
        return 0;
    int handle = 0;
    runOffThread([&] { handle = m_ibdev(board, primaryAddress, secondaryAddress, timeout, sendEoi, eosMode); });
    return handle;
}

void GpibLibrary::ibwrt(int handle, const QByteArray &data)
{
    if (!load())
        return;
    runOffThread([&] { m_ibwrt(handle, data.constData(), long(data.size())); });
}

QByteArray GpibLibrary::ibrd(int handle)
{
    if (!load())
        return QByteArray();
    QByteArray buffer(ReadBufferSize, '\0');
    long count = 0;
    // The byte count is the calling thread's, so it is taken on the thread that read.
    runOffThread([&] {
        m_ibrd(handle, buffer.data(), long(buffer.size()));
        count = m_threadIbcntl();
    });
    if (count <= 0)
        return QByteArray();
    return buffer.left(qsizetype(std::min<long>(count, ReadBufferSize)));
}
