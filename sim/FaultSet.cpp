#include "FaultSet.h"

#include <QMap>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace {

std::optional<int> countFrom1(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1)
        return std::nullopt;
    return value;
}

} // namespace

bool FaultSet::add(const QString &text, QString *error)
{
    for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = item.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = item.section(QLatin1Char('='), 1).trimmed();
        QString problem;
        if (!addItem(name, value, &problem)) {
            if (error)
                *error = QStringLiteral("bad fault \"%1\" (%2)").arg(item.trimmed(), problem);
            return false;
        }
    }
    return true;
}

bool FaultSet::addItem(const QString &name, const QString &value, QString *problem)
{
    const QMap<QString, int *> counts{
        {QStringLiteral("silent-after"), &silentAfter},
        {QStringLiteral("delay"), &delayMs},
        {QStringLiteral("split"), &splitPieces},
        {QStringLiteral("garbage-every"), &garbageEvery},
        {QStringLiteral("drop-after"), &dropAfter},
        {QStringLiteral("late"), &lateMs},
        {QStringLiteral("unusable-after"), &unusableAfter},
        {QStringLiteral("unusable-repeat"), &unusableRepeat},
    };
    const QMap<QString, QByteArray *> lines{
        {QStringLiteral("late-line"), &lateLine},
        {QStringLiteral("drop-line"), &dropLine},
        {QStringLiteral("outage-line"), &outageLine},
        {QStringLiteral("unusable-line"), &unusableLine},
    };
    if (int *field = counts.value(name)) {
        const std::optional<int> count = countFrom1(value);
        if (!count) {
            *problem = QStringLiteral("expected %1=N with N from 1").arg(name);
            return false;
        }
        *field = *count;
        return true;
    }
    if (QByteArray *field = lines.value(name)) {
        if (value.isEmpty()) {
            *problem = QStringLiteral("expected %1=TEXT, the line as sent").arg(name);
            return false;
        }
        *field = value.toUtf8();
        return true;
    }
    if (name == QLatin1String("unusable-reply")) {
        unusableReply = QByteArray::fromPercentEncoding(value.toUtf8());
        if (unusableReply.isEmpty() || unusableReply.contains('\n') || unusableReply.contains('\r')) {
            *problem = QStringLiteral("expected unusable-reply=TEXT, percent-encoded, with no line end in it");
            return false;
        }
        return true;
    }
    if (name == QLatin1String("line-end")) {
        const QMap<QString, QByteArray> ends{
            {QStringLiteral("crlf"), "\r\n"}, {QStringLiteral("cr"), "\r"}, {QStringLiteral("lf"), "\n"}};
        if (!ends.contains(value)) {
            *problem = QStringLiteral("expected line-end=crlf, cr or lf");
            return false;
        }
        lineEnd = ends.value(value);
        return true;
    }
    if (name == QLatin1String("outage")) {
        const std::optional<int> reply = countFrom1(value.section(QLatin1Char(':'), 0, 0));
        const std::optional<int> ms = countFrom1(value.section(QLatin1Char(':'), 1));
        if (!reply || !ms) {
            *problem = QStringLiteral("expected outage=N:MS with N and MS from 1");
            return false;
        }
        const auto at = std::find_if(
            outages.begin(), outages.end(), [&](const Outage &outage) { return outage.reply >= *reply; });
        if (at != outages.end() && at->reply == *reply) {
            *problem = QStringLiteral("another outage already follows reply %1").arg(*reply);
            return false;
        }
        outages.insert(at, {*reply, *ms});
        return true;
    }
    QStringList names = counts.keys() + lines.keys();
    names << QStringLiteral("outage") << QStringLiteral("unusable-reply") << QStringLiteral("line-end");
    names.sort();
    *problem = QStringLiteral("names: %1").arg(names.join(QStringLiteral(", ")));
    return false;
}

bool FaultSet::check(QString *error) const
{
    QString problem;
    if (lateMs > 0 && lateLine.isEmpty())
        problem = QStringLiteral("late=MS needs late-line=TEXT, the line whose reply is late");
    else if (lateMs == 0 && !lateLine.isEmpty())
        problem = QStringLiteral("late-line=TEXT needs late=MS");
    else if (outages.isEmpty() && outageLine != defaultOutageLine)
        problem = QStringLiteral("outage-line=TEXT needs outage=N:MS");
    else if (unusableLine.isEmpty() && unusableAfter != 1)
        problem = QStringLiteral("unusable-after=N needs unusable-line=TEXT");
    else if (unusableLine.isEmpty() && (unusableReply != garbageLine || unusableRepeat != 1))
        problem = QStringLiteral("unusable-reply=TEXT and unusable-repeat=N need unusable-line=TEXT");
    if (problem.isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("bad faults: %1").arg(problem);
    return false;
}

QString FaultSet::help()
{
    return QStringLiteral("Faults of the load link (repeat --fault or separate them by commas):\n"
                          "  silent-after=N      no reply after the N-th received line\n"
                          "  delay=MS            every reply MS milliseconds late\n"
                          "  split=N             every reply in N pieces, %1 ms apart\n"
                          "  garbage-every=N     every N-th reply replaced by a garbage line\n"
                          "  drop-after=N        the connection dropped after the N-th received line\n"
                          "  drop-line=TEXT      the connection dropped each time TEXT is received\n"
                          "                      (a pseudo-terminal is replaced by a new one at the same link)\n"
                          "  late=MS             the replies to the late line MS milliseconds late; later replies\n"
                          "                      follow them\n"
                          "  late-line=TEXT      the late line (late needs it)\n"
                          "  outage=N:MS         the load out of reach after its N-th reply to the outage line (its\n"
                          "                      N-th receipt, for a line without a reply): the connection closed\n"
                          "                      once the reply is sent, and none possible for MS\n"
                          "                      milliseconds (a pseudo-terminal's link removed, then a new terminal\n"
                          "                      behind it); repeat it for more outages, one per N\n"
                          "  outage-line=TEXT    the line whose replies outages count (default %2)\n"
                          "  unusable-line=TEXT  the replies to that line replaced by a garbage line\n"
                          "  unusable-after=N    ...from its N-th reply on (default 1)\n"
                          "  unusable-reply=TEXT ...by this line instead, percent-encoded (%%2C a comma, %%1B ESC)\n"
                          "  unusable-repeat=N   ...TEXT N times over in one line\n"
                          "  line-end=END        every reply ended by crlf (the default), cr or lf\n"
                          "The first five count per connection. Outages and unusable replies count the replies to\n"
                          "their line over the simulator's whole life, across connections. TEXT is compared with the\n"
                          "received line exactly, without its CR LF, and holds no comma. An outage prints\n"
                          "\"load outage MS\" when it begins and \"load listening\" when the load listens again.\n")
        .arg(splitGapMs)
        .arg(QLatin1String(defaultOutageLine));
}
