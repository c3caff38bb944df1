#include "PgCluster.h"
#include "store/ServerMirror.h"
#include "store/StoreSchema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

// Every stored row of one run, the same text from SQLite and from PostgreSQL whatever each makes
// of a number.
QStringList rowsOfRun(QSqlDatabase db, const QString &uuid)
{
    QStringList rows;
    const QStringList queries{
        QStringLiteral("SELECT uuid, program_name, program_text, model, rated_current, settings_text, station, "
                       "started, ended, result, message FROM runs WHERE uuid = ?"),
        QStringLiteral("SELECT step, function, started, seconds, end_reason, verdict, value, ah, wh, v, i FROM steps "
                       "WHERE run_uuid = ? ORDER BY step"),
        QStringLiteral("SELECT seq, elapsed_s, v, i, w, ah, wh, step FROM samples WHERE run_uuid = ? ORDER BY seq")};
    for (const QString &sql : queries) {
        QSqlQuery query(db);
        query.prepare(sql);
        query.addBindValue(uuid);
        if (!query.exec())
            return {query.lastError().text()};
        while (query.next()) {
            QStringList cells;
            for (int column = 0; column < query.record().count(); ++column) {
                const QVariant value = query.value(column);
                const bool number = value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong
                    || value.typeId() == QMetaType::Int;
                cells.append(number ? QString::number(value.toDouble(), 'g', 17) : value.toString());
            }
            rows.append(cells.join(u'|'));
        }
    }
    return rows;
}

// A bench's store written the way the run store writes it: header, samples as they come, the end.
class LocalStore
{
public:
    explicit LocalStore(const QString &path) : m_connection(QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(path);
        QString error;
        if (!db.open() || StoreSchema::migrate(db, &error) < 0)
            qWarning() << "local store:" << error << db.lastError().text();
    }
    ~LocalStore()
    {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_connection, false); }

    void begin(const QString &uuid)
    {
        exec(QStringLiteral("INSERT INTO runs (uuid, program_name, program_text, settings_text, station, started, "
                            "result, message) VALUES ('%1', '/bench/it''s.TSF', 'line 1\r\nline 2', "
                            "'[Store]\r\nHost=x', 'Bench 1', '2026-12-07T10:00:00.000', '', '')")
                 .arg(uuid));
    }
    void samples(const QString &uuid, int count)
    {
        db().transaction();
        for (int n = 0; n < count; ++n, ++m_seq)
            exec(QStringLiteral("INSERT INTO samples VALUES ('%1', %2, %3, %4, 1.5, %5, 1e-7, 0.1, %6)")
                     .arg(uuid)
                     .arg(m_seq + 1)
                     .arg(m_seq * 0.1)
                     .arg(12.0 - m_seq * 1e-4, 0, 'g', 17)
                     .arg(1.5 * (12.0 - m_seq * 1e-4), 0, 'g', 17)
                     .arg(1 + m_seq / 1000));
        db().commit();
    }
    void end(const QString &uuid)
    {
        exec(QStringLiteral("INSERT INTO steps VALUES ('%1', 1, 'Discharge', '2026-12-07T10:00:00.000', 61.25, "
                            "'time', '', '', 0.25, 3.0, 11.9, 1.5)")
                 .arg(uuid));
        exec(QStringLiteral("INSERT INTO steps VALUES ('%1', 2, 'OCP Test', '2026-12-07T10:01:01.250', 2.5, "
                            "'load', 'PASS', '5.20A', 0.3, 3.5, 11.8, 0.0)")
                 .arg(uuid));
        exec(QStringLiteral("UPDATE runs SET ended = '2026-12-07T10:01:05.000', result = 'PASS', message = 'done', "
                            "model = 'Model A', rated_current = '30' WHERE uuid = '%1'")
                 .arg(uuid));
    }

private:
    void exec(const QString &sql)
    {
        QSqlQuery query(db());
        if (!query.exec(sql))
            qWarning() << sql << query.lastError().text();
    }

    QString m_connection;
    qint64 m_seq = 0;
};

} // namespace

class TestRunForwarder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!m_cluster.problem().isEmpty())
            QSKIP(qPrintable(m_cluster.problem()));
        m_server.host = QStringLiteral("127.0.0.1");
        m_server.port = m_cluster.port();
        m_server.database = PgCluster::Database;
        m_server.user = PgCluster::User;
    }

    // Actions in order: "sN" N more samples, "end", "f" a round, "stop"/"start" the server,
    // "early N" the server already holding the header and N samples (a commit whose answer was lost).
    void serverEndsWithTheBenchsRun_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<qint64>("lastRoundSent");
        QTest::addColumn<int>("lastRoundWaiting");
        QTest::newRow("an ended run") << QStringList{"s12", "end", "f"} << qint64(12) << 0;
        QTest::newRow("a run forwarded as it goes") << QStringList{"s7", "f", "s5", "f", "end", "f"} << qint64(0) << 0;
        QTest::newRow("a run still going") << QStringList{"s7", "f", "s5", "f"} << qint64(5) << 0;
        QTest::newRow("several batches") << QStringList{"s12345", "end", "f"} << qint64(12345) << 0;
        QTest::newRow("nothing sent twice") << QStringList{"s20", "end", "f", "f"} << qint64(0) << 0;
        QTest::newRow("server down, then back")
            << QStringList{"s9", "f", "stop", "s9", "end", "f", "start", "f"} << qint64(9) << 0;
        QTest::newRow("a batch committed whose answer was lost")
            << QStringList{"s6000", "early 5000", "end", "f"} << qint64(1000) << 0;
    }
    void serverEndsWithTheBenchsRun()
    {
        QFETCH(QStringList, actions);
        QFETCH(qint64, lastRoundSent);
        QFETCH(int, lastRoundWaiting);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        local.begin(uuid);
        ServerMirror mirror(path, m_server);
        ServerMirror::Outcome outcome;
        for (const QString &action : actions) {
            if (action.startsWith(u's') && action != u"stop" && action != u"start")
                local.samples(uuid, action.mid(1).toInt());
            else if (action == u"end")
                local.end(uuid);
            else if (action == u"f")
                outcome = mirror.forwardAll();
            else if (action == u"stop")
                QVERIFY2(m_cluster.stop(), qPrintable(m_cluster.problem()));
            else if (action == u"start")
                QVERIFY2(m_cluster.start(), qPrintable(m_cluster.problem()));
            else if (action.startsWith(QStringLiteral("early")))
                preload(path, uuid, action.section(u' ', 1).toInt());
        }
        QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
        QCOMPARE(outcome.samplesSent, lastRoundSent);
        QCOMPARE(outcome.runsWaiting, lastRoundWaiting);
        QSqlDatabase server = m_server.addConnection(QStringLiteral("check"));
        QVERIFY2(server.open(), qPrintable(server.lastError().text()));
        QCOMPARE(rowsOfRun(server, uuid), rowsOfRun(local.db(), uuid));
        server.close();
        server = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
    }

    void anUnreachableServerIsSaidAndNothingIsLost()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
        LocalStore local(path);
        local.begin(QStringLiteral("0000aaaa-0000-0000-0000-000000000001"));
        local.samples(QStringLiteral("0000aaaa-0000-0000-0000-000000000001"), 3);
        StoreServer nowhere = m_server;
        nowhere.port = quint16(m_cluster.port() + 1);
        ServerMirror mirror(path, nowhere);
        const ServerMirror::Outcome outcome = mirror.forwardAll();
        QVERIFY2(outcome.error.contains(QStringLiteral("cannot be reached")), qPrintable(outcome.error));
        QCOMPARE(outcome.samplesSent, 0);
    }

private:
    // What the server holds when a batch went in but its commit's answer never came back.
    void preload(const QString &localPath, const QString &uuid, int samples)
    {
        QSqlDatabase server = m_server.addConnection(QStringLiteral("early"));
        QVERIFY(server.open());
        QString error;
        QVERIFY2(StoreSchema::migrate(server, &error) >= 0, qPrintable(error));
        QSqlQuery query(server);
        QVERIFY(query.exec(QStringLiteral("INSERT INTO runs (uuid, result) VALUES ('%1', '')").arg(uuid)));
        LocalStore local(localPath);
        QSqlQuery rows(local.db());
        QVERIFY(rows.exec(QStringLiteral("SELECT * FROM samples WHERE seq <= %1").arg(samples)));
        while (rows.next()) {
            QStringList cells{u'\'' + rows.value(0).toString() + u'\''};
            for (int column = 1; column < 9; ++column)
                cells.append(QString::number(rows.value(column).toDouble(), 'g', 17));
            QVERIFY(query.exec(QStringLiteral("INSERT INTO samples VALUES (%1)").arg(cells.join(u','))));
        }
        query = QSqlQuery();
        server.close();
        server = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("early"));
    }

    PgCluster m_cluster;
    StoreServer m_server;
};

QTEST_GUILESS_MAIN(TestRunForwarder)
#include "tst_runforwarder.moc"
