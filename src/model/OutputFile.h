#pragma once

#include <QString>
#include <memory>

class QFile;
class QIODevice;
class QSaveFile;

// A file the program writes at a path the user gave. A regular file, or one not there yet, is
// replaced whole: written beside it and renamed over it, so a reader never sees half of it and a
// failure leaves the old one as it was. Whatever else the path names (a FIFO, a terminal, a device
// such as /dev/null) is opened and written as it is: a rename would put a regular file in its place,
// and for root that includes /dev/null. Where the caller allows it, "-" is standard output.
class OutputFile
{
public:
    enum class Dash { FileName, StandardOutput };

    explicit OutputFile(const QString &path, Dash dash = Dash::FileName);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // False, with the reason in errorString(), when it cannot be written.
    bool open();
    // Where the bytes go, once open.
    QIODevice &device();
    // Puts the bytes written in place: the last of them sent, then for a regular file the rename.
    // False, with the reason in errorString(), when that fails; a regular file then keeps what it held.
    bool commit();
    // Drops a regular file's new bytes. What went to anything else is gone already.
    void cancel();
    QString errorString() const { return m_error; }

private:
    QString m_path;
    Dash m_dash;
    std::unique_ptr<QSaveFile> m_whole;
    std::unique_ptr<QFile> m_direct;
    QString m_error;
};
