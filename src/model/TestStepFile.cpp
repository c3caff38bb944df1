#include "model/TestStepFile.h"

#include "model/FunctionCatalog.h"
#include "model/LosslessText.h"
#include "model/StepColumns.h"
#include "model/TestProgram.h"
#include "model/WholeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <optional>

namespace TestStepFile {

namespace {

Result failure(const QString &path, const QString &reason)
{
    return {false, QStringLiteral("%1: %2").arg(path, reason)};
}

// The lines after the first, each ended or not.
template <typename Text> qsizetype stepCount(const Text &text)
{
    return text.count('\n') - (text.endsWith('\n') ? 1 : 0);
}

template <typename Text> QList<Text> splitLines(const Text &text)
{
    QList<Text> lines = text.split('\n');
    // The line end of the last line leaves an empty piece behind; it is not a line.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (Text &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

// The decoder passes a surrogate that pairs with none through; it reads as U+FFFD, as a save
// would write it, so that a load and save and load give the same cells.
QString withoutLoneSurrogates(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

// The text of a file that starts with a byte-order mark, read as the mark says: editors on other
// systems save a program as UTF-16 with one, and put one before UTF-8 too. None for a file without
// one, which is read as UTF-8 that keeps every byte.
std::optional<QString> markedText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return LosslessText::decode(bytes.sliced(3));
    for (const auto &[mark, encoding] :
        {std::pair{"\xFF\xFE", QStringConverter::Utf16LE}, std::pair{"\xFE\xFF", QStringConverter::Utf16BE}}) {
        if (bytes.startsWith(mark)) {
            QStringDecoder decoder(encoding);
            return withoutLoneSurrogates(decoder.decode(bytes.sliced(2)));
        }
    }
    return std::nullopt;
}

// A line's first 32 fields, and whether more followed. Only those are taken apart: a line of
// millions of commas would otherwise make millions of fields.
QStringList fieldsOf(QStringView line, bool *more)
{
    QStringList fields;
    qsizetype from = 0;
    while (fields.size() < TestProgram::ColumnCount) {
        const qsizetype comma = line.indexOf(u',', from);
        fields.append(line.sliced(from, (comma < 0 ? line.size() : comma) - from).toString());
        if (comma < 0)
            return fields;
        from = comma + 1;
    }
    *more = true;
    return fields;
}

Result tooManySteps(const QString &path, qsizetype steps)
{
    return failure(path,
        QStringLiteral("%1 steps, more than the %2 a program can hold; nothing was loaded").arg(steps).arg(MaxSteps));
}

// Why the lines read are no program, or "" when at least one step names a function the program
// runs. A file of anything else (an image, a log, random bytes) must not run as steps that do nothing.
QString notAProgram(const Content &content)
{
    if (content.lines.isEmpty())
        return QStringLiteral("the file is empty: it holds no test steps");
    const qsizetype steps = content.lines.size() - 1;
    if (steps == 0)
        return QStringLiteral("the file holds no test steps, only its first line");
    for (qsizetype line = 1; line < content.lines.size(); ++line)
        if (FunctionCatalog::find(content.lines.at(line).value(StepColumns::Function)))
            return QString();
    if (steps == 1)
        return QStringLiteral("not a test step file: its step names no known test function");
    return QStringLiteral("not a test step file: none of its %1 steps names a known test function").arg(steps);
}

QByteArray lineBytes(const QString &line) { return LosslessText::encode(line) + "\r\n"; }

} // namespace

Result SaveTestFile(const TestProgram &program, const QString &path, const std::function<void(const QString &)> &trace)
{
    if (trace)
        trace(path);
    QByteArray bytes;
    for (int row = 0; row <= program.gridRowCount() - 2; ++row) {
        const QString line = program.rowCells(row).join(u',');
        bytes += lineBytes(line);
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
    const auto take = [&content](QStringView line) {
        bool more = false;
        content.lines.append(fieldsOf(line, &more));
        if (more)
            content.linesWithExtraFields.append(int(content.lines.size()));
    };
    // A file of more steps than a program can hold is refused before it is taken apart: its
    // lines alone, blank ones included, would take gigabytes.
    if (const std::optional<QString> text = markedText(bytes)) {
        if (const qsizetype steps = stepCount(*text); steps > MaxSteps)
            return tooManySteps(path, steps);
        for (const QString &line : splitLines(*text))
            take(line);
    } else {
        if (const qsizetype steps = stepCount(bytes); steps > MaxSteps)
            return tooManySteps(path, steps);
        for (const QByteArray &line : splitLines(bytes))
            take(LosslessText::decode(line));
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
    if (const QString why = notAProgram(content); !why.isEmpty())
        return failure(path, why + QStringLiteral("; nothing was loaded"));
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

bool holdsEmptyProgram(const QString &path)
{
    const QByteArray saved = lineBytes(StepColumns::headers().join(u','));
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.size() == saved.size() && file.readAll() == saved;
}

} // namespace TestStepFile
