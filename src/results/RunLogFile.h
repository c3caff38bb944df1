#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

// The run's log file, "TEMPLOG.CSV" in the "TestLog" folder: the header line, then every result
// row as it is made. Each line is flushed when written, so a crash loses nothing already shown.
class RunLogFile
{
public:
    static QString folderPath(const QString &programFolder);
    static QString defaultPath(const QString &programFolder);

    // Makes the folder if needed, empties the file and writes the header line. On failure the
    // error names the path and the reason, and no file is open.
    bool open(const QString &path, QString *error);
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }

    // One data line: the cells joined by the separator ("<Tab>" stands for a tab).
    // Returns false when the line could not be written.
    bool WriteLogLine(const QStringList &cells, const QString &separatorText);
    // Several data lines in one write: all of them, or none when the file could not take them.
    bool WriteLogLines(const QList<QStringList> &rows, const QString &separatorText);
    void close();
    // The data lines the file holds, all of them whole.
    int rows() const { return m_rows; }

    static QString separatorFor(const QString &separatorText);

private:
    static QString lineFor(const QStringList &cells, const QString &separator);
    bool writeLine(const QString &line);
    // Whole lines, flushed; a file that takes only part of them is cut back to its last whole line.
    bool writeBytes(const QByteArray &bytes);

    QFile m_file;
    qint64 m_wholeSize = 0;
    int m_rows = 0;
};
