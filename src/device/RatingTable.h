#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The rated current of each load model, looked up by the model name the load reports.
// A table is text: one entry per line, the rating in amperes and then one or more model numbers,
// separated by blanks; "#" starts a comment; a line "dash PREFIX" names the prefix of the model
// names that carry their rating in their fourth "-" field.
class RatingTable
{
public:
    struct Entry
    {
        int rating = 0;
        QStringList patterns;
    };

    // The name of the lab's own table, looked for beside the settings file.
    static inline const QString FileName = QStringLiteral("rating-table.txt");

    // Reads a table; a line that is not an entry is left out and described in `problems` as
    // "<source> line <n>: <what is wrong>".
    static RatingTable parse(const QString &text, const QString &source, QStringList *problems = nullptr);
    // The table compiled into the program.
    static RatingTable builtIn();
    // The lab's table from `folder`, when there is one, ahead of the built-in table.
    static RatingTable load(const QString &folder, QStringList *problems = nullptr);

    // This table followed by `later`; the first dash prefix named stays.
    RatingTable followedBy(const RatingTable &later) const;

    // The rating of the first entry with a model number contained in `modelName`.
    std::optional<int> ratingFor(const QString &modelName) const;

    const QString &dashPrefix() const { return m_dashPrefix; }
    const QList<Entry> &entries() const { return m_entries; }

private:
    QList<Entry> m_entries;
    QString m_dashPrefix;
};
