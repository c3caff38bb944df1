#include "model/TestStepFile.h"

#include "model/LosslessText.h"
#include "model/TestProgram.h"
#include "model/WholeFile.h"

#include <QFile>
#include <QFileInfo>

namespace TestStepFile {

namespace {

Result failure(const QString &path, const QString &reason)
{
    return {false, QStringLiteral("%1: %2").arg(path, reason)};
}

QList<QByteArray> splitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    // The line end of the last line leaves an empty piece behind; it is not a line.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

} // namespace

Result SaveTestFile(const TestProgram &program, const QString &path, const std::function<void(const QString &)> &trace)
{
    if (trace)
        trace(path);
    QByteArray bytes;
    for (int row = 0; row <= program.gridRowCount() - 2; ++row) {
        const QString line = program.rowCells(row).join(u',');
        bytes += LosslessText::encode(line) + "\r\n";
        if (trace)
            trace(line);
    }
    if (const std::optional<QString> reason = WholeFile::replace(path, bytes))
        return failure(path, *reason);
    return {};
}

Result readContent(const QString &path, Content &content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(path, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return failure(path, file.errorString());
    // A file of more steps than a program can hold is refused before it is taken apart: its
    // lines alone, blank ones included, would take gigabytes.
    const qsizetype steps = bytes.count('\n') - (bytes.endsWith('\n') ? 1 : 0);
    if (steps > MaxSteps)
        return failure(path,
            QStringLiteral("%1 steps, more than the %2 a program can hold; nothing was loaded")
                .arg(steps)
                .arg(MaxSteps));
    const QList<QByteArray> lines = splitLines(bytes);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringList fields = LosslessText::decode(lines.at(i)).split(u',');
        if (fields.size() > 32) {
            fields.resize(32);
            content.linesWithExtraFields.append(int(i) + 1);
        }
        content.lines.append(fields);
    }
    return {};
}

Result LoadTestFile(TestProgram &program, const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return {};
    Content content;
    if (Result read = readContent(path, content); !read.ok)
        return read;
    // Line 1 is the header: it only makes room for the rows; the grid keeps its own headers.
    for (qsizetype r = 0; r < content.lines.size(); ++r) {
        program.setGridRowCount(int(r) + 2);
        if (r == 0)
            continue;
        const QStringList &fields = content.lines.at(r);
        for (qsizetype column = 0; column < fields.size(); ++column)
            program.setCell(int(r), int(column), fields.at(column));
    }
    Result result;
    if (!content.linesWithExtraFields.isEmpty()) {
        QStringList numbers;
        for (int line : content.linesWithExtraFields)
            numbers.append(QString::number(line));
        result.message = QStringLiteral("%1: more than 32 fields on line %2; the extra fields were dropped.")
                             .arg(path, numbers.join(QStringLiteral(", ")));
    }
    return result;
}

} // namespace TestStepFile
