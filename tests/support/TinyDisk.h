#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <sys/mount.h>

// A small disk of its own (a tmpfs), to see what the program does when the disk is full. Mounting
// takes the privilege to; a test without it skips.
class TinyDisk
{
public:
    explicit TinyDisk(int kibibytes)
    {
        const QByteArray options = "size=" + QByteArray::number(kibibytes) + "k";
        m_mounted = m_dir.isValid()
            && ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~TinyDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    TinyDisk(const TinyDisk &) = delete;
    TinyDisk &operator=(const TinyDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Takes the space that is left but for `leave` bytes (to the page).
    void fill(qint64 leave = 0)
    {
        QFile filler(filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray page(4096, 'x');
        qint64 size = 0;
        for (qint64 written; (written = filler.write(page)) > 0;)
            size += written;
        filler.resize(std::max<qint64>(0, size - leave));
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
