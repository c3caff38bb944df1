#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// Rows of words in columns as wide as their widest word, for a terminal or a script's `cut`.
class TextTable
{
public:
    // The columns in `rightAligned` (numbers) are aligned to the right, the others to the left.
    explicit TextTable(const QStringList &headers, QSet<int> rightAligned = {});

    void addRow(const QStringList &cells);
    // One line per row, the headers first; no blanks at the ends of lines.
    QString toText() const;

private:
    QList<QStringList> m_rows;
    QSet<int> m_rightAligned;
};
