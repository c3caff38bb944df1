#include "results/RunLogReader.h"

#include "model/LosslessText.h"
#include "model/NumberText.h"
#include "results/ResultLog.h"
#include "results/RunLogFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

namespace {

const QString Pass = QStringLiteral("PASS");
const QString Fail = QStringLiteral("FAIL");

// The number, the separator and the step time that start every row; the separator again after it.
// A separator is a few characters at most: a line of garbage costs a bounded look each.
const QRegularExpression &rowStart()
{
    static const QRegularExpression start(QStringLiteral("^(\\d+)(\\D.{0,15}?)(-?\\d{2,}:\\d{2}:\\d{2})(?:\\2|$)"));
    return start;
}

std::optional<qint64> stepSeconds(const QString &text)
{
    static const QRegularExpression time(QStringLiteral("^(-?)(\\d{2,}):(\\d{2}):(\\d{2})$"));
    const QRegularExpressionMatch match = time.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 seconds
        = match.captured(2).toLongLong() * 3600 + match.captured(3).toLongLong() * 60 + match.captured(4).toLongLong();
    return match.captured(1).isEmpty() ? seconds : -seconds;
}

// The cells of `text`, split by the first separator that gives a row's ten; none when none does.
std::optional<QStringList> cellsOf(const QString &text, const QString &settingsSeparator, QString *why)
{
    QStringList tried;
    const QRegularExpressionMatch start = rowStart().match(text);
    if (start.hasMatch())
        tried.append(start.captured(2));
    if (!settingsSeparator.isEmpty() && !tried.contains(settingsSeparator))
        tried.append(settingsSeparator);
    for (const QString &separator : std::as_const(tried)) {
        const QStringList cells = text.split(separator);
        if (cells.size() == ResultLog::ColumnCount)
            return cells;
        // The line's own separator tells best what is wrong with it.
        if (why->isEmpty())
            *why = QStringLiteral("%1 fields separated by \"%2\" where a row has %3")
                       .arg(cells.size())
                       .arg(separator)
                       .arg(ResultLog::ColumnCount);
    }
    if (tried.isEmpty())
        *why = QStringLiteral("not a row of the log: it does not start with a row number and a step time");
    return std::nullopt;
}

std::optional<RunLogReader::Row> rowOf(
    const QString &text, int line, qint32 number, const QString &separator, QString *why)
{
    const std::optional<QStringList> cells = cellsOf(text, separator, why);
    if (!cells)
        return std::nullopt;
    RunLogReader::Row row;
    row.line = line;
    row.cells = *cells;
    const QString &numberText = row.cells.at(ResultLog::No);
    if (numberText != QString::number(number)) {
        *why = QStringLiteral("row number \"%1\" where %2 was expected").arg(numberText).arg(number);
        return std::nullopt;
    }
    row.number = number;
    const std::optional<qint64> seconds = stepSeconds(row.cells.at(ResultLog::StepTime));
    if (!seconds) {
        *why = QStringLiteral("StepTime \"%1\" is not hh:mm:ss").arg(row.cells.at(ResultLog::StepTime));
        return std::nullopt;
    }
    row.stepSeconds = *seconds;
    // V and I are the load's own text, read as the run read them; the rest the run wrote itself.
    for (const int column : {ResultLog::W, ResultLog::AH, ResultLog::WH}) {
        const QString &cell = row.cells.at(column);
        if (!cell.isEmpty() && !NumberText::strict(cell)) {
            *why = QStringLiteral("%1 \"%2\" is not a number").arg(ResultLog::headers().at(column), cell);
            return std::nullopt;
        }
    }
    const QString &made = row.cells.at(ResultLog::TotalTime);
    row.made = QDateTime::fromString(made, QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    if (!row.made.isValid()) {
        *why = QStringLiteral("TotalTime \"%1\" is not a date and time as YYYY/MM/DD hh:mm:ss").arg(made);
        return std::nullopt;
    }
    const QString &result = row.cells.at(ResultLog::Result);
    if (!result.isEmpty() && result != Pass && result != Fail) {
        *why = QStringLiteral("Result \"%1\" is neither PASS, FAIL nor empty").arg(result);
        return std::nullopt;
    }
    return row;
}

} // namespace

bool RunLogReader::Row::isVerdict() const { return !cells.at(ResultLog::Result).isEmpty(); }

QString RunLogReader::Row::function() const { return cells.at(ResultLog::FunctionName); }

std::optional<RunLogReader::Log> RunLogReader::read(const QString &path, const QString &separatorText, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return parse(file.readAll(), path, separatorText, error);
}

std::optional<RunLogReader::Log> RunLogReader::parse(
    const QByteArray &bytes, const QString &name, const QString &separatorText, QString *error)
{
    const auto fail = [&](int line, const QString &why) {
        *error = QStringLiteral("%1:%2: %3").arg(name).arg(line).arg(why);
        return std::nullopt;
    };
    Log log;
    log.digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    QList<QByteArray> lines = bytes.split('\n');
    // Whole lines end with a line end, so the last piece is empty unless a line was cut short.
    log.lastLineCut = !lines.last().isEmpty();
    lines.removeLast();
    const auto textOf = [&lines](qsizetype index) {
        QByteArray line = lines.at(index);
        if (line.endsWith('\r'))
            line.chop(1);
        return LosslessText::decode(line);
    };
    const QString header = ResultLog::headers().join(u',');
    if (lines.isEmpty() || textOf(0) != header)
        return fail(1, QStringLiteral("not a run's log: its first line is not \"%1\"").arg(header));
    const QString separator = RunLogFile::separatorFor(separatorText);
    for (qsizetype index = 1; index < lines.size(); ++index) {
        QString why;
        const int line = int(index) + 1;
        const std::optional<Row> row = rowOf(textOf(index), line, qint32(index), separator, &why);
        if (!row)
            return fail(line, why);
        log.rows.append(*row);
    }
    return log;
}
