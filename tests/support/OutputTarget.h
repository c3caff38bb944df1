#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// Something other than a regular file for a program to write its output into, to see that it is
// written as it is and left what it was: a FIFO that the test reads, or a node for the null device.
// The node is made in the test's own folder, so a program that renames a file over it harms
// nothing; without the privilege to make one, /dev/null itself serves, which such a user cannot
// rename anything over. A root that cannot make the node gets no path, and the test skips.
class OutputTarget
{
public:
    enum Kind { Fifo, NullDevice };

    OutputTarget(Kind kind, const QDir &folder)
    {
        const QString path = folder.filePath(kind == Fifo ? QStringLiteral("fifo") : QStringLiteral("null"));
        const QByteArray name = QFile::encodeName(path);
        if (kind == Fifo && ::mkfifo(name.constData(), 0600) == 0) {
            // Open for reading at once, without waiting for a writer: the program's open does not
            // wait either, and what it writes stays in the pipe until read.
            m_fifo = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            m_path = path;
        } else if (kind == NullDevice && ::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
            m_path = path;
        } else if (kind == NullDevice && !QFileInfo(QStringLiteral("/dev")).isWritable()) {
            m_path = QStringLiteral("/dev/null");
        }
        m_made = status();
    }
    ~OutputTarget()
    {
        if (m_fifo >= 0)
            ::close(m_fifo);
    }
    OutputTarget(const OutputTarget &) = delete;
    OutputTarget &operator=(const OutputTarget &) = delete;

    QString path() const { return m_path; }

    // Takes what the FIFO holds now into bytes(). True, so that a wait can read as it goes.
    bool drain()
    {
        char buffer[65536];
        for (ssize_t got; m_fifo >= 0 && (got = ::read(m_fifo, buffer, sizeof buffer)) > 0;)
            m_bytes.append(buffer, qsizetype(got));
        return true;
    }
    QByteArray bytes() const { return m_bytes; }

    // Still the FIFO or the device node it was made as, the very same one.
    bool isAsMade() const
    {
        const struct stat now = status();
        return !m_path.isEmpty() && (S_ISFIFO(now.st_mode) || S_ISCHR(now.st_mode)) && now.st_mode == m_made.st_mode
            && now.st_ino == m_made.st_ino && now.st_rdev == m_made.st_rdev;
    }

private:
    struct stat status() const
    {
        struct stat result
        { };
        if (!m_path.isEmpty())
            ::lstat(QFile::encodeName(m_path).constData(), &result);
        return result;
    }

    QString m_path;
    int m_fifo = -1;
    struct stat m_made
    { };
    QByteArray m_bytes;
};
