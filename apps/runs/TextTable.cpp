#include "TextTable.h"

#include <algorithm>

TextTable::TextTable(const QStringList &headers, QSet<int> rightAligned)
    : m_rows{headers}, m_rightAligned(std::move(rightAligned))
{ }

void TextTable::addRow(const QStringList &cells) { m_rows.append(cells); }

QString TextTable::toText() const
{
    QList<qsizetype> widths;
    for (const QStringList &row : m_rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (qsizetype k = 0; k < row.size(); ++k)
            widths[k] = std::max(widths[k], row.at(k).size());
    }
    QString text;
    for (const QStringList &row : m_rows) {
        QString line;
        for (qsizetype k = 0; k < row.size(); ++k) {
            if (k > 0)
                line += QStringLiteral("  ");
            line += m_rightAligned.contains(int(k)) ? row.at(k).rightJustified(widths.at(k))
                                                    : row.at(k).leftJustified(widths.at(k));
        }
        while (line.endsWith(u' '))
            line.chop(1);
        text += line + u'\n';
    }
    return text;
}
