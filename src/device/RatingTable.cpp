#include "device/RatingTable.h"

#include "model/NumberText.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

// Generous, but keeps a mistyped rating from turning into a nonsense full scale.
constexpr int MaxRating = 100000;
constexpr double MaxVoltage = 100000;
constexpr double MaxPower = 1e8;

// A rated voltage or power: a number and its unit letter, with nothing between them.
bool isRatingColumn(const QString &field)
{
    return field.size() >= 2 && (field.back() == u'V' || field.back() == u'W')
        && (field.front().isDigit() || field.front() == u'.' || field.front() == u'-' || field.front() == u'+');
}

QString readText(const QString &path, bool *ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

RatingTable RatingTable::parse(const QString &text, const QString &source, QStringList *problems)
{
    RatingTable table;
    // Every text goes in with one arg(): a chained arg() would take a "%1" in the file's name or text
    // for a place of its own.
    const auto report = [&](int line, const QString &what) {
        if (problems)
            problems->append(
                QStringLiteral("%1 line %2: %3; the line is left out").arg(source, QString::number(line), what));
    };
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        QString line = lines.at(i);
        const qsizetype comment = line.indexOf(u'#');
        if (comment >= 0)
            line.truncate(comment);
        const QStringList fields = line.split(blanks, Qt::SkipEmptyParts);
        if (fields.isEmpty())
            continue;
        if (fields.first() == u"dash") {
            if (fields.size() != 2)
                report(lineNo, QStringLiteral("\"dash\" takes one prefix"));
            else if (!table.m_dashPrefix.isEmpty())
                report(lineNo, QStringLiteral("the dash prefix is named twice"));
            else
                table.m_dashPrefix = fields.at(1);
            continue;
        }
        bool ok = false;
        const int rating = fields.first().toInt(&ok);
        if (!ok || rating <= 0 || rating > MaxRating || !fields.first().front().isDigit()) {
            report(lineNo,
                QStringLiteral("\"%1\" is not a rating in amperes (1 to %2)")
                    .arg(fields.first(), QString::number(MaxRating)));
            continue;
        }
        Entry entry{rating, std::nullopt, std::nullopt, {}};
        qsizetype next = 1;
        QString wrong;
        for (; next < fields.size() && isRatingColumn(fields.at(next)) && wrong.isEmpty(); ++next) {
            const QString &field = fields.at(next);
            const bool volts = field.back() == u'V';
            std::optional<double> &value = volts ? entry.voltage : entry.power;
            const QString quantity = volts ? QStringLiteral("voltage") : QStringLiteral("power");
            const double most = volts ? MaxVoltage : MaxPower;
            const std::optional<double> number = NumberText::strict(field.chopped(1));
            if (value)
                wrong = QStringLiteral("the rated %1 is named twice").arg(quantity);
            else if (!number || *number <= 0 || *number > most)
                wrong = QStringLiteral("\"%1\" is not a rated %2 (above 0 up to %3 %4)")
                            .arg(field, quantity, NumberText::shortest(most), QString(field.back()));
            else
                value = number;
        }
        if (!wrong.isEmpty()) {
            report(lineNo, wrong);
            continue;
        }
        if (next >= fields.size()) {
            report(lineNo, QStringLiteral("the rating %1 has no model number").arg(rating));
            continue;
        }
        entry.patterns = fields.mid(next);
        table.m_entries.append(entry);
    }
    return table;
}

RatingTable RatingTable::builtIn()
{
    static const RatingTable table = [] {
        bool ok = false;
        const QString path = QStringLiteral(":/data/rating-table.txt");
        const QString text = readText(path, &ok);
        Q_ASSERT(ok);
        return parse(text, path);
    }();
    return table;
}

RatingTable RatingTable::load(const QString &folder, QStringList *problems)
{
    const QString path = QDir(folder).filePath(FileName);
    if (folder.isEmpty() || !QFile::exists(path))
        return builtIn();
    bool ok = false;
    const QString text = readText(path, &ok);
    if (!ok) {
        if (problems)
            problems->append(QStringLiteral("%1: cannot be read; only the built-in table is used").arg(path));
        return builtIn();
    }
    return parse(text, path, problems).followedBy(builtIn());
}

RatingTable RatingTable::followedBy(const RatingTable &later) const
{
    RatingTable joined = *this;
    joined.m_entries += later.m_entries;
    if (joined.m_dashPrefix.isEmpty())
        joined.m_dashPrefix = later.m_dashPrefix;
    return joined;
}

const RatingTable::Entry *RatingTable::entryFor(const QString &modelName) const
{
    for (const Entry &entry : m_entries) {
        for (const QString &pattern : entry.patterns) {
            if (modelName.contains(pattern, Qt::CaseSensitive))
                return &entry;
        }
    }
    return nullptr;
}

std::optional<int> RatingTable::ratingFor(const QString &modelName) const
{
    const Entry *entry = entryFor(modelName);
    return entry ? std::optional<int>(entry->rating) : std::nullopt;
}
