#include "store/RunExport.h"

#include "model/LosslessText.h"
#include "model/OutputFile.h"
#include "results/LoadOffText.h"
#include "results/RunSummary.h"
#include "store/RunArchive.h"
#include "store/SampleColumns.h"

#include <QHash>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace {

// Local time without an offset, to the millisecond, as the summary and the store write times.
QString isoText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) : QString();
}

// A function name is program text: a comma or a line break in it would add a field or a row.
QString csvCell(QString text)
{
    for (QChar &c : text) {
        if (c == u',' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    }
    return text;
}

// The shortest text that reads back as the same double; JSON has no NaN or infinity.
QByteArray jsonNumber(double value)
{
    return std::isfinite(value) ? QByteArray::number(value, 'g', QLocale::FloatingPointShortest) : "null";
}

QJsonObject runJson(const StoredRun &run)
{
    QJsonArray steps;
    for (const StepRecord &step : run.steps)
        steps.append(RunSummary::stepJson(step));
    return QJsonObject{
        {QStringLiteral("uuid"), run.uuid},
        {QStringLiteral("station"), run.station},
        {QStringLiteral("program"), run.programName},
        {QStringLiteral("program_text"), run.programText},
        {QStringLiteral("model"), run.model},
        {QStringLiteral("rated_current"), run.ratedCurrent},
        {QStringLiteral("started"), isoText(run.started)},
        {QStringLiteral("ended"), isoText(run.ended)},
        {QStringLiteral("result"), run.result},
        {QStringLiteral("message"), run.message},
        {QStringLiteral("load_off"), LoadOffText::json(run.loadOff)},
        {QStringLiteral("sample_count"), run.samplesMade ? QJsonValue(*run.samplesMade) : QJsonValue()},
        {QStringLiteral("log"), run.logPath},
        {QStringLiteral("imported_from"), run.importedFrom},
        {QStringLiteral("settings"), run.settingsText},
        {QStringLiteral("totals"), run.totals ? RunSummary::totalsJson(*run.totals) : QJsonValue()},
        {QStringLiteral("steps"), steps},
    };
}

// Writes `bytes` whole, or says why not.
bool put(QIODevice &out, const QByteArray &bytes, QString *error)
{
    if (out.write(bytes) == bytes.size())
        return true;
    *error = out.errorString();
    return false;
}

// Streams the run's samples, each made into bytes by `row`, until the store or the device fails.
template <typename Row> QString putSamples(const RunArchive &archive, const StoredRun &run, QIODevice &out, Row row)
{
    QString writeError, readError;
    const bool read = archive.forEachSample(
        run.uuid, [&](const StoredSample &sample) { return put(out, row(sample), &writeError); }, &readError);
    if (!writeError.isEmpty())
        return writeError;
    return read ? QString() : readError;
}

using Writer = QString (*)(const RunArchive &, const StoredRun &, QIODevice &);

QString writeWhole(const RunArchive &archive, const StoredRun &run, const QString &path, Writer writer)
{
    OutputFile file(path, OutputFile::Dash::StandardOutput);
    if (!file.open())
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    if (const QString reason = writer(archive, run, file.device()); !reason.isEmpty()) {
        file.cancel();
        return QStringLiteral("%1: %2").arg(path, reason);
    }
    if (!file.commit())
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    return QString();
}

} // namespace

QString RunExport::writeCsv(const RunArchive &archive, const StoredRun &run, const QString &path)
{
    Writer writer = &RunExport::writeCsv;
    return writeWhole(archive, run, path, writer);
}

QString RunExport::writeJson(const RunArchive &archive, const StoredRun &run, const QString &path)
{
    Writer writer = &RunExport::writeJson;
    return writeWhole(archive, run, path, writer);
}

QString RunExport::writeCsv(const RunArchive &archive, const StoredRun &run, QIODevice &out)
{
    QHash<int, QByteArray> functions;
    for (const StepRecord &step : run.steps)
        functions.insert(step.row, LosslessText::encode(csvCell(step.function)));
    QString error;
    if (!put(out, QByteArray(CsvHeader) + "\r\n", &error))
        return error;
    return putSamples(archive, run, out, [&functions](const StoredSample &sample) {
        // A reading that rounds to zero is written as 0, not -0.
        const auto fixed = [](double value, int decimals) {
            return QByteArray::number(std::abs(value) < 0.5 * std::pow(10.0, -decimals) ? 0.0 : value, 'f', decimals);
        };
        const Sample &reading = sample.reading;
        return QByteArray::number(sample.seq) + ',' + fixed(reading.elapsedSeconds, 3) + ','
            + QByteArray::number(reading.step) + ',' + functions.value(reading.step) + ',' + fixed(reading.volts, 4)
            + ',' + fixed(reading.amps, 4) + ',' + fixed(reading.watts, 4) + ',' + fixed(reading.ampHours, 6) + ','
            + fixed(reading.wattHours, 6) + "\r\n";
    });
}

QString RunExport::writeJson(const RunArchive &archive, const StoredRun &run, QIODevice &out)
{
    // The run's fields are one small document; the samples, of any number, follow it one line each
    // in place of its closing brace.
    QByteArray head = QJsonDocument(runJson(run)).toJson(QJsonDocument::Indented);
    head.chop(qsizetype(qstrlen("\n}\n")));
    QString error;
    if (!put(out, head + ",\n    \"samples\": [", &error))
        return error;
    bool first = true;
    error = putSamples(archive, run, out, [&first](const StoredSample &sample) {
        QByteArray row = std::exchange(first, false) ? "\n        [" : ",\n        [";
        row += QByteArray::number(sample.seq);
        for (const SampleColumns::Column &column : SampleColumns::Figures)
            row += ", " + jsonNumber(sample.reading.*column.figure);
        return row + ", " + QByteArray::number(sample.reading.step) + ']';
    });
    if (!error.isEmpty())
        return error;
    if (!put(out, first ? "]\n}\n" : "\n    ]\n}\n", &error))
        return error;
    return QString();
}
