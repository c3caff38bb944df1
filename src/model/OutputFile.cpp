#include "model/OutputFile.h"

#include <QFile>
#include <QSaveFile>
#include <cstdio>
#include <sys/stat.h>

namespace {

// The path names something that exists and is neither a regular file nor a folder, after
// following symbolic links (/dev/stdout, say). A folder is left to QSaveFile, which refuses it.
bool namesSomethingElse(const QString &path)
{
    struct stat status
    { };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    return !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
}

} // namespace

OutputFile::OutputFile(const QString &path, Dash dash) : m_path(path), m_dash(dash) { }

OutputFile::~OutputFile() = default;

bool OutputFile::open()
{
    m_error.clear();
    if (m_dash == Dash::StandardOutput && m_path == u"-") {
        m_direct = std::make_unique<QFile>();
        // Through the C stream: what the program printed before comes first.
        if (!m_direct->open(stdout, QIODevice::WriteOnly)) {
            m_error = m_direct->errorString();
            return false;
        }
        return true;
    }
    if (namesSomethingElse(m_path)) {
        m_direct = std::make_unique<QFile>(m_path);
        if (!m_direct->open(QIODevice::WriteOnly)) {
            m_error = m_direct->errorString();
            return false;
        }
        return true;
    }
    m_whole = std::make_unique<QSaveFile>(m_path);
    if (!m_whole->open(QIODevice::WriteOnly)) {
        m_error = m_whole->errorString();
        return false;
    }
    return true;
}

QIODevice &OutputFile::device() { return m_whole ? static_cast<QIODevice &>(*m_whole) : *m_direct; }

bool OutputFile::commit()
{
    QFileDevice &file = m_whole ? static_cast<QFileDevice &>(*m_whole) : static_cast<QFileDevice &>(*m_direct);
    // QSaveFile commits a file whose buffered bytes could not all be written, so the buffer is
    // emptied and checked before the rename.
    if (!file.flush()) {
        m_error = file.errorString();
        cancel();
        return false;
    }
    if (m_whole && !m_whole->commit()) {
        m_error = m_whole->errorString();
        return false;
    }
    if (m_direct)
        m_direct->close();
    return true;
}

void OutputFile::cancel()
{
    if (m_whole)
        m_whole->cancelWriting();
}
