#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The ratings of each load model, looked up by the model name the load reports.
// A table is text: one entry per line, the rated current in amperes, then, where known, the rated
// voltage and power as a number followed at once by "V" or "W" ("80V", "300W", either or both, in
// any order), and then one or more model numbers, separated by blanks; "#" starts a comment; a line
// "dash PREFIX" names the prefix of the model names that carry their rated voltage and current in
// their third and fourth "-" fields. A line that is not an entry is left out whole.
class RatingTable
{
public:
    struct Entry
    {
        int rating = 0;
        std::optional<double> voltage;
        std::optional<double> power;
        QStringList patterns;
    };

    // The name of the lab's own table, looked for beside the settings file.
    static inline const QString FileName = QStringLiteral("rating-table.txt");

    // Reads a table; a line that is not an entry is left out and described in `problems` as
    // "<source> line <n>: <what is wrong>; the line is left out".
    static RatingTable parse(const QString &text, const QString &source, QStringList *problems = nullptr);
    // The table compiled into the program.
    static RatingTable builtIn();
    // The lab's table from `folder`, when there is one, ahead of the built-in table; its problems
    // name its path.
    static RatingTable load(const QString &folder, QStringList *problems = nullptr);

    // This table followed by `later`; the first dash prefix named stays.
    RatingTable followedBy(const RatingTable &later) const;

    // The first entry with a model number contained in `modelName`; null when none has one.
    const Entry *entryFor(const QString &modelName) const;
    // The rated current of that entry.
    std::optional<int> ratingFor(const QString &modelName) const;

    const QString &dashPrefix() const { return m_dashPrefix; }
    const QList<Entry> &entries() const { return m_entries; }

private:
    QList<Entry> m_entries;
    QString m_dashPrefix;
};
