#include "ui/DialogFilter.h"

#include <QStringList>

namespace DialogFilter {

QString toQt(const QString &pairs)
{
    const QStringList parts = pairs.split(u'|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString &name = parts.at(i);
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        // A name that already shows its patterns, as "CSV(*.CSV)", is what Qt reads as they are.
        if (name.endsWith(QStringLiteral("(%1)").arg(patterns)))
            filters.append(name);
        else
            filters.append(QStringLiteral("%1 (%2)").arg(name, patterns));
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace DialogFilter
