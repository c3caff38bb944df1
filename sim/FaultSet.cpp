#include "FaultSet.h"

#include <QMap>
#include <QStringList>

bool FaultSet::add(const QString &text, QString *error)
{
    const QMap<QString, int *> fields{
        {QStringLiteral("silent-after"), &silentAfter},
        {QStringLiteral("delay"), &delayMs},
        {QStringLiteral("split"), &splitPieces},
        {QStringLiteral("garbage-every"), &garbageEvery},
        {QStringLiteral("drop-after"), &dropAfter},
    };
    for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = item.section(QLatin1Char('='), 0, 0).trimmed();
        const QString valueText = item.section(QLatin1Char('='), 1).trimmed();
        bool ok = false;
        const int value = valueText.toInt(&ok);
        int *field = fields.value(name);
        if (!field || !ok || value < 1 || !item.contains(QLatin1Char('='))) {
            if (error)
                *error = QStringLiteral("bad fault \"%1\" (expected NAME=N with N from 1; names: %2)")
                             .arg(item.trimmed(), QStringList(fields.keys()).join(QStringLiteral(", ")));
            return false;
        }
        *field = value;
    }
    return true;
}

QString FaultSet::help()
{
    return QStringLiteral(
        "Faults of the load link (repeat --fault or separate them by commas; counts per connection):\n"
        "  silent-after=N   no reply after the N-th received line\n"
        "  delay=MS         every reply MS milliseconds late\n"
        "  split=N          every reply in N pieces, %1 ms apart\n"
        "  garbage-every=N  every N-th reply replaced by a garbage line\n"
        "  drop-after=N     the connection dropped after the N-th received line\n"
        "                   (a pseudo-terminal is replaced by a new one at the same link)\n")
        .arg(splitGapMs);
}
