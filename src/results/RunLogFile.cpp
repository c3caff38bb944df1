#include "results/RunLogFile.h"

#include "model/LosslessText.h"
#include "results/ResultLog.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

QString RunLogFile::folderPath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("TestLog"));
}

QString RunLogFile::defaultPath(const QString &programFolder)
{
    return QDir(folderPath(programFolder)).filePath(QStringLiteral("TEMPLOG.CSV"));
}

bool RunLogFile::open(const QString &path, QString *error)
{
    close();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("%1: the folder cannot be made").arg(folder);
        return false;
    }
    m_file.setFileName(path);
    m_wholeSize = 0;
    m_rows = 0;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, m_file.errorString());
        return false;
    }
    if (!writeLine(ResultLog::headers().join(u','))) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, m_file.errorString());
        close();
        return false;
    }
    return true;
}

bool RunLogFile::WriteLogLine(const QStringList &cells, const QString &separatorText)
{
    return WriteLogLines({cells}, separatorText);
}

bool RunLogFile::WriteLogLines(const QList<QStringList> &rows, const QString &separatorText)
{
    if (!isOpen())
        return false;
    if (rows.isEmpty())
        return true;
    const QString separator = separatorFor(separatorText);
    QByteArray bytes;
    for (const QStringList &cells : rows)
        bytes += LosslessText::encode(lineFor(cells, separator)) + "\r\n";
    if (writeBytes(bytes)) {
        m_rows += int(rows.size());
        return true;
    }
    // A disk too full for all of them may still take the first few, each line whole.
    for (const QStringList &cells : rows) {
        if (!writeLine(lineFor(cells, separator)))
            return false;
        ++m_rows;
    }
    return true;
}

QString RunLogFile::lineFor(const QStringList &cells, const QString &separator)
{
    // Cells carry instrument replies as received: a separator or a control character inside one
    // would add a field or break the line, so each becomes a blank. Most cells hold neither and
    // go into the line as they are, with no copy of their own.
    const auto isControl = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; };
    QString line;
    for (qsizetype k = 0; k < cells.size(); ++k) {
        if (k > 0)
            line += separator;
        const QString &cell = cells.at(k);
        const bool hasSeparator = !separator.isEmpty() && cell.contains(separator);
        if (!hasSeparator && std::none_of(cell.cbegin(), cell.cend(), isControl)) {
            line += cell;
            continue;
        }
        QString clean = cell;
        if (hasSeparator)
            clean.replace(separator, QStringLiteral(" "));
        std::replace_if(clean.begin(), clean.end(), isControl, QChar(u' '));
        line += clean;
    }
    return line;
}

void RunLogFile::close()
{
    if (m_file.isOpen())
        m_file.close();
}

QString RunLogFile::separatorFor(const QString &separatorText)
{
    return separatorText == u"<Tab>" ? QStringLiteral("\t") : separatorText;
}

bool RunLogFile::writeLine(const QString &line) { return writeBytes(LosslessText::encode(line) + "\r\n"); }

bool RunLogFile::writeBytes(const QByteArray &bytes)
{
    if (m_file.write(bytes) == bytes.size() && m_file.flush()) {
        m_wholeSize += bytes.size();
        return true;
    }
    // A full disk takes part of a line: the file is cut back to its last whole row, so that what
    // it holds can be trusted to the last byte.
    m_file.resize(m_wholeSize);
    return false;
}
