#include "RunFilterWords.h"

namespace {

const QStringList Results{QStringLiteral("PASS"), QStringLiteral("FAIL"), QStringLiteral("STOPPED"),
    QStringLiteral("LOST"), QStringLiteral("ERROR"), QStringLiteral("UNFINISHED")};

// A day as YYYY-MM-DD; an invalid date, with the reason in `error`, for anything else.
QDate dayFrom(const CommandArguments &words, const QString &option, QString *error)
{
    if (!words.has(option))
        return QDate();
    const QDate day = QDate::fromString(words.value(option), Qt::ISODate);
    if (!day.isValid())
        *error = QStringLiteral("%1 needs a day as YYYY-MM-DD, not \"%2\"").arg(option, words.value(option));
    return day;
}

} // namespace

QStringList RunFilterWords::options()
{
    return {QStringLiteral("--program"), QStringLiteral("--model"), QStringLiteral("--station"),
        QStringLiteral("--result"), QStringLiteral("--from"), QStringLiteral("--to")};
}

std::optional<RunArchive::Filter> RunFilterWords::filterOf(const CommandArguments &words, QString *error)
{
    RunArchive::Filter filter;
    filter.program = words.value(QStringLiteral("--program"));
    filter.model = words.value(QStringLiteral("--model"));
    filter.station = words.value(QStringLiteral("--station"));
    filter.result = words.value(QStringLiteral("--result")).toUpper();
    if (words.has(QStringLiteral("--result")) && !Results.contains(filter.result)) {
        *error = QStringLiteral("--result is one of %1").arg(Results.join(u'|'));
        return std::nullopt;
    }
    filter.from = dayFrom(words, QStringLiteral("--from"), error);
    filter.to = dayFrom(words, QStringLiteral("--to"), error);
    if (!error->isEmpty())
        return std::nullopt;
    return filter;
}
