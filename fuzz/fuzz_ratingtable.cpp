// Any bytes as a rating table (before a NUL: the name it was read from): reading never crashes,
// every entry kept is a sound rating (its voltage and power, where given, above 0 and finite) with
// model numbers, and every problem names its source, its line and, for a bad rating, the very text
// that was wrong.

#include "device/RatingTable.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype nul = bytes.indexOf('\0');
    const QString source = nul >= 0 ? QString::fromUtf8(bytes.left(nul)) : QStringLiteral("t");
    const QString text = QString::fromUtf8(nul >= 0 ? bytes.mid(nul + 1) : bytes);

    QStringList problems;
    const RatingTable table = RatingTable::parse(text, source, &problems);
    const QStringList lines = text.split(u'\n');
    if (table.entries().size() + problems.size() > lines.size())
        std::abort();
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const RatingTable::Entry &entry : table.entries()) {
        if (entry.rating < 1 || entry.rating > 100000 || entry.patterns.isEmpty())
            std::abort();
        for (const std::optional<double> &rated : {entry.voltage, entry.power})
            if (rated && !(*rated > 0 && std::isfinite(*rated)))
                std::abort();
        for (const QString &pattern : entry.patterns)
            if (pattern.isEmpty() || pattern.contains(blanks) || pattern.contains(u'#'))
                std::abort();
    }
    static const QRegularExpression problem(
        QStringLiteral("^ line ([0-9]+): (.*)$"), QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression badRating(
        QStringLiteral("^\"(.*)\" is not a rating in amperes \\(1 to 100000\\); the line is left out$"),
        QRegularExpression::DotMatchesEverythingOption);
    for (const QString &what : problems) {
        if (!what.startsWith(source))
            std::abort();
        const QRegularExpressionMatch match = problem.match(what.mid(source.size()));
        const int lineNo = match.captured(1).toInt();
        if (!match.hasMatch() || lineNo < 1 || lineNo > lines.size())
            std::abort();
        const QRegularExpressionMatch rating = badRating.match(match.captured(2));
        if (rating.hasMatch()
            && rating.captured(1)
                != lines.at(lineNo - 1).section(u'#', 0, 0).split(blanks, Qt::SkipEmptyParts).value(0))
            std::abort();
    }
    for (const RatingTable::Entry &entry : table.entries())
        if (!table.ratingFor(entry.patterns.first()))
            std::abort();

    // The same text as the lab's table file, ahead of the built-in one.
    QFile file(dir.filePath(RatingTable::FileName));
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    file.write(nul >= 0 ? bytes.mid(nul + 1) : bytes);
    file.close();
    const RatingTable lab = RatingTable::load(dir.path());
    if (lab.entries().size() != table.entries().size() + RatingTable::builtIn().entries().size())
        std::abort();
    return 0;
}
