// Forwarding throughput: samples a second into a PostgreSQL server of the benchmark's own, for one
// long run's backlog of SAMPLES samples, by two ways of sending them. "unnest" is the statement the
// forwarder used through Qt's QPSQL driver: each batch's columns as array literals, one INSERT ...
// SELECT FROM unnest(...) ON CONFLICT DO NOTHING. "copy" is the forwarder as it is (ServerMirror):
// libpq, each batch in binary COPY into a session table, then INSERT ... SELECT ON CONFLICT DO
// NOTHING. Both read the same bench file, 5000 samples a transaction. Each is run ROUNDS times,
// the server's samples emptied before each; the median is shown.
// Usage: bench-forward-throughput [SAMPLES] [ROUNDS]
// Prints a Markdown table.

#include "PgCluster.h"
#include "store/SampleColumns.h"
#include "store/ServerMirror.h"
#include "store/StoreSchema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const QString Uuid = QStringLiteral("0000f0f0-0000-4000-8000-000000000001");

bool exec(QSqlDatabase db, const QString &sql)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    std::fprintf(
        stderr, "bench-forward-throughput: %s: %s\n", qPrintable(sql.left(80)), qPrintable(query.lastError().text()));
    return false;
}

// A bench file with one ended run of `samples` samples, as the run store writes them.
bool makeBenchFile(const QString &path, int samples)
{
    bool made = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
        db.setDatabaseName(path);
        QString error;
        made = db.open() && StoreSchema::migrate(db, &error) >= 0
            && exec(db,
                QStringLiteral("INSERT INTO runs (uuid, program_name, started, ended, result, message) VALUES ('%1', "
                               "'cell.TSF', '2026-12-09T10:00:00.000', '2026-12-09T12:00:00.000', 'PASS', 'done')")
                    .arg(Uuid));
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO samples VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int seq = 1; made && seq <= samples; ++seq) {
            const double volts = 12.6 - seq * 1e-5;
            for (const QVariant &value : {QVariant(Uuid), QVariant(seq), QVariant(seq * 0.1), QVariant(volts),
                     QVariant(1.5), QVariant(1.5 * volts), QVariant(seq * 0.1 * 1.5 / 3600),
                     QVariant(seq * 0.1 * 1.5 * volts / 3600), QVariant(1 + seq / 100000)})
                insert.addBindValue(value);
            made = insert.exec();
        }
        made = made && db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("make"));
    return made;
}

QString arrayNumber(const QVariant &value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (value.isNull() || !ok || !std::isfinite(number))
        return QStringLiteral("NULL");
    return QString::number(number, 'g', 17);
}

// The earlier forwarder's samples: QPSQL, one unnest statement a batch.
qint64 forwardByUnnest(const QString &path, const StoreServer &server)
{
    qint64 sent = 0;
    {
        QSqlDatabase local = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("local"));
        local.setDatabaseName(path);
        QSqlDatabase db = server.addConnection(QStringLiteral("unnest"));
        if (!local.open() || !db.open()) {
            std::fprintf(stderr, "bench-forward-throughput: %s\n", qPrintable(db.lastError().text()));
            return -1;
        }
        exec(db, QStringLiteral("INSERT INTO runs (uuid, result) VALUES ('%1', '')").arg(Uuid));
        const QString figures = QString::fromLatin1(SampleColumns::names());
        constexpr int FigureCount = int(SampleColumns::Figures.size());
        QString arrays = QStringLiteral("?::bigint[]");
        for (int column = 0; column < FigureCount; ++column)
            arrays += QStringLiteral(", ?::float8[]");
        const QString insertSql = QStringLiteral("INSERT INTO samples (run_uuid, seq, %1, step) SELECT ?::text, * FROM "
                                                 "unnest(%2, ?::integer[]) ON CONFLICT (run_uuid, seq) DO NOTHING")
                                      .arg(figures, arrays);
        for (qint64 after = 0;;) {
            QSqlQuery read(local);
            read.setForwardOnly(true);
            read.prepare(QStringLiteral("SELECT seq, %1, step FROM samples WHERE run_uuid = ? AND seq > ? ORDER BY "
                                        "seq LIMIT %2")
                             .arg(figures)
                             .arg(ServerMirror::SamplesPerBatch));
            read.addBindValue(Uuid);
            read.addBindValue(after);
            read.exec();
            std::array<QString, FigureCount + 2> columns;
            for (QString &column : columns)
                column = QStringLiteral("{");
            int count = 0;
            while (read.next()) {
                if (count > 0) {
                    for (QString &column : columns)
                        column += u',';
                }
                after = read.value(0).toLongLong();
                columns[0] += QString::number(after);
                for (int column = 1; column <= FigureCount; ++column)
                    columns[size_t(column)] += arrayNumber(read.value(column));
                columns[FigureCount + 1] += QString::number(read.value(FigureCount + 1).toInt());
                ++count;
            }
            if (count == 0)
                break;
            db.transaction();
            QSqlQuery insert(db);
            insert.prepare(insertSql);
            insert.addBindValue(Uuid);
            for (QString &column : columns)
                insert.addBindValue(column + u'}');
            if (!insert.exec() || !db.commit()) {
                std::fprintf(stderr, "bench-forward-throughput: %s\n", qPrintable(insert.lastError().text()));
                return -1;
            }
            sent += count;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("unnest"));
    QSqlDatabase::removeDatabase(QStringLiteral("local"));
    return sent;
}

qint64 forwardByCopy(const QString &path, const StoreServer &server)
{
    ServerMirror mirror(path, server);
    const ServerMirror::Outcome outcome = mirror.forwardAll();
    if (!outcome.error.isEmpty() || !outcome.refused.isEmpty()) {
        std::fprintf(
            stderr, "bench-forward-throughput: %s\n", qPrintable(outcome.error + outcome.refused.value(0).reason));
        return -1;
    }
    return outcome.samplesSent;
}

bool emptyServer(const StoreServer &server)
{
    bool emptied = false;
    {
        QSqlDatabase db = server.addConnection(QStringLiteral("empty"));
        QString error;
        emptied = db.open() && StoreSchema::migrate(db, &error) >= 0
            && exec(db, QStringLiteral("TRUNCATE samples, steps, run_charts, runs"))
            && exec(db, QStringLiteral("VACUUM ANALYZE samples"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("empty"));
    return emptied;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int samples = argc > 1 ? std::max(1, atoi(argv[1])) : 200000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    PgCluster cluster;
    if (!cluster.problem().isEmpty()) {
        std::fprintf(stderr, "bench-forward-throughput: %s\n", qPrintable(cluster.problem()));
        return 1;
    }
    const StoreServer server = cluster.server();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
    if (!makeBenchFile(path, samples))
        return 1;
    struct Way
    {
        const char *name;
        qint64 (*forward)(const QString &, const StoreServer &);
        std::vector<double> rates;
    };
    std::array<Way, 2> ways{
        {{"unnest (QPSQL, array literals)", &forwardByUnnest, {}}, {"copy (libpq, binary COPY)", &forwardByCopy, {}}}};
    // Alternated, so that a machine that gets busier meanwhile weighs on both alike.
    for (int round = 0; round < rounds; ++round) {
        for (Way &way : ways) {
            if (!emptyServer(server))
                return 1;
            QElapsedTimer wall;
            wall.start();
            const qint64 sent = way.forward(path, server);
            const double seconds = double(wall.nsecsElapsed()) / 1e9;
            if (sent != samples) {
                std::fprintf(stderr, "bench-forward-throughput: %s sent %lld of %d samples\n", way.name, sent, samples);
                return 1;
            }
            way.rates.push_back(double(sent) / seconds);
        }
    }
    std::printf("| Way | Samples | Rounds | Median samples/s | Slowest | Fastest |\n|---|---|---|---|---|---|\n");
    for (const Way &way : ways)
        std::printf("| %s | %d | %d | %.0f | %.0f | %.0f |\n", way.name, samples, rounds, median(way.rates),
            *std::min_element(way.rates.begin(), way.rates.end()),
            *std::max_element(way.rates.begin(), way.rates.end()));
    return 0;
}
