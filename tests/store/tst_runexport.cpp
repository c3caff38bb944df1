#include "StoreFixture.h"
#include "TestFiles.h"
#include "TinyDisk.h"
#include "store/RunArchive.h"
#include "store/RunExport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Tiny = QStringLiteral("0badcafe-0000-4000-8000-000000000001");
const QString Empty = QStringLiteral("0badcafe-0000-4000-8000-000000000002");
const QString Long = QStringLiteral("0badcafe-0000-4000-8000-000000000003");

QStringList storeRows()
{
    return {
        StoreFixture::run(Tiny, QStringLiteral("2026-03-04T10:11:12.345"), QStringLiteral("FAIL")),
        StoreFixture::run(Empty, QStringLiteral("2026-03-05T08:00:00.000"), QString()),
        StoreFixture::run(Long, QStringLiteral("2026-03-06T08:00:00.000"), QStringLiteral("PASS")),
        QStringLiteral(
            "INSERT INTO steps VALUES ('%1', 1, 'Discharge', '2026-03-04T10:11:12.400', 1.25, 'time', '', '', "
            "0.0001, 0.00125, 12.49996, 1.99995)")
            .arg(Tiny),
        QStringLiteral("INSERT INTO steps VALUES ('%1', 2, 'Rest, then test', '2026-03-04T10:11:13.650', 0.5, 'load', "
                       "'FAIL', '11.2V', 0.0001, 0.00125, 12.6, 0)")
            .arg(Tiny),
        QStringLiteral("INSERT INTO samples VALUES ('%1', 1, 0.1, 12.5, 2, 25, 0.0000555556, 0.000694444, 1), "
                       "('%1', 2, 0.25, 12.49996, 1.99995, 24.99967, 0.0001, 0.00125, 1), "
                       "('%1', 3, 1.5, 12.6, 0, 0, 0.0001, 0.00125, 2), "
                       "('%1', 4, 2.0005, -0.00004, 0, 0, 0.0001, 0.00125, 3)")
            .arg(Tiny),
        StoreFixture::samples(Long, 1, 5000, 1),
        QStringLiteral("UPDATE runs SET sample_count = 5, log_path = '/bench/TestLog/TEMPLOG.CSV', imported_from = "
                       "'/bench/TestLog/TEMPLOG.CSV', load_off = 'UNCONFIRMED', load_off_address = 'TCP "
                       "10.0.0.7:5025', load_off_since = '2026-03-04T10:11:14.150' WHERE uuid = '%1'")
            .arg(Tiny),
    };
}

// The value at "a.0.b" in a JSON document: keys of objects and indexes of arrays.
QJsonValue at(const QJsonValue &document, const QString &path)
{
    QJsonValue value = document;
    for (const QString &key : path.split(u'.')) {
        bool isIndex = false;
        const int index = key.toInt(&isIndex);
        value = isIndex ? value.toArray().at(index) : value.toObject().value(key);
    }
    return value;
}

} // namespace

class TestRunExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_store = m_dir.filePath(QStringLiteral("runs.sqlite"));
        StoreFixture::write(m_store, storeRows());
    }

    void csvRows_data()
    {
        QTest::addColumn<QString>("uuid");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("steps named, rounded, a comma in a name, a step without a row, no -0")
            << Tiny
            << TestFiles::crlfLines({"No.,TotalTime(s),Step,Function,V,I,W,AH,WH",
                   "1,0.100,1,Discharge,12.5000,2.0000,25.0000,0.000056,0.000694",
                   "2,0.250,1,Discharge,12.5000,1.9999,24.9997,0.000100,0.001250",
                   "3,1.500,2,Rest  then test,12.6000,0.0000,0.0000,0.000100,0.001250",
                   "4,2.001,3,,0.0000,0.0000,0.0000,0.000100,0.001250"});
        QTest::newRow("no samples") << Empty << TestFiles::crlfLines({"No.,TotalTime(s),Step,Function,V,I,W,AH,WH"});
    }
    void csvRows()
    {
        QFETCH(QString, uuid);
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath(QStringLiteral("out.csv"));
        RunArchive archive = RunArchive::local(m_store);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> run = archive.run(uuid, &error);
        QVERIFY2(run, qPrintable(error));
        QCOMPARE(RunExport::writeCsv(archive, *run, path), QString());
        QCOMPARE(TestFiles::readBytes(path), bytes);
    }

    void jsonValues_data()
    {
        QTest::addColumn<QString>("uuid");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonValue>("value");
        const auto row = [](const QString &uuid, const char *path, const QJsonValue &value) {
            const QString name = (uuid == Empty ? QStringLiteral("no samples: ") : QString()) + QLatin1String(path);
            QTest::newRow(qPrintable(name)) << uuid << QString::fromLatin1(path) << value;
        };
        row(Tiny, "uuid", Tiny);
        row(Tiny, "station", QStringLiteral("Bench 1"));
        row(Tiny, "program", QStringLiteral("/lab/programs/cell.TSF"));
        row(Tiny, "program_text", QStringLiteral("StepNo.,Function\r\n1,Discharge\r\n"));
        row(Tiny, "model", QStringLiteral("6312C"));
        row(Tiny, "rated_current", QStringLiteral("60"));
        row(Tiny, "started", QStringLiteral("2026-03-04T10:11:12.345"));
        row(Tiny, "ended", QStringLiteral("2026-03-04T10:11:12.345"));
        row(Tiny, "result", QStringLiteral("FAIL"));
        row(Tiny, "message", QStringLiteral("step 2 failed"));
        row(Tiny, "settings", QStringLiteral("[System]\r\nMeasureTime=100\r\n"));
        row(Tiny, "sample_count", 5);
        row(Tiny, "log", QStringLiteral("/bench/TestLog/TEMPLOG.CSV"));
        row(Tiny, "imported_from", QStringLiteral("/bench/TestLog/TEMPLOG.CSV"));
        row(Tiny, "load_off",
            QJsonObject{{"state", "UNCONFIRMED"}, {"address", "TCP 10.0.0.7:5025"},
                {"since", "2026-03-04T10:11:14.150"}, {"confirmed_at", ""}, {"amps", QJsonValue()}});
        row(Empty, "sample_count", QJsonValue());
        row(Empty, "load_off", QJsonValue());
        row(Tiny, "steps.1",
            QJsonObject{{"step", 2}, {"function", "Rest, then test"}, {"started", "2026-03-04T10:11:13.650"},
                {"end", "load"}, {"verdict", "FAIL"}, {"value", "11.2V"}, {"unit", ""}, {"ah", 0.0001}, {"wh", 0.00125},
                {"v", 12.6}, {"i", 0}, {"seconds", 0.5}});
        // The run's totals over its steps; its start and end are the same instant here.
        row(Tiny, "totals", QJsonObject{{"ah", 0.0002}, {"wh", 0.0025}, {"seconds", 0}});
        row(Tiny, "samples.1", QJsonArray{2, 0.25, 12.49996, 1.99995, 24.99967, 0.0001, 0.00125, 1});
        row(Tiny, "samples.4", QJsonValue(QJsonValue::Undefined));
        row(Empty, "result", QString());
        row(Empty, "samples", QJsonArray());
        row(Empty, "steps", QJsonArray());
        row(Empty, "totals", QJsonValue());
    }
    void jsonValues()
    {
        QFETCH(QString, uuid);
        QFETCH(QString, path);
        QFETCH(QJsonValue, value);
        const QString file = m_dir.filePath(QStringLiteral("out.json"));
        RunArchive archive = RunArchive::local(m_store);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> run = archive.run(uuid, &error);
        QVERIFY2(run, qPrintable(error));
        QCOMPARE(RunExport::writeJson(archive, *run, file), QString());
        QJsonParseError parse;
        const QJsonDocument document = QJsonDocument::fromJson(TestFiles::readBytes(file), &parse);
        QCOMPARE(parse.errorString(), QJsonParseError().errorString());
        QCOMPARE(at(document.object(), path), value);
    }

    // A file that cannot be written whole is not written: what was there before stays.
    void failedWriteLeavesOldFile_data()
    {
        QTest::addColumn<bool>("json");
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("csv, no such folder") << false << false;
        QTest::newRow("json, no such folder") << true << false;
        QTest::newRow("csv, disk full") << false << true;
        QTest::newRow("json, disk full") << true << true;
    }
    void failedWriteLeavesOldFile()
    {
        QFETCH(bool, json);
        QFETCH(bool, fullDisk);
        TinyDisk disk(64);
        if (fullDisk && !disk.isMounted())
            QSKIP("mounting a small disk takes privileges this test does not have");
        const QString path
            = fullDisk ? disk.filePath(QStringLiteral("run.out")) : m_dir.filePath(QStringLiteral("missing/run.out"));
        if (fullDisk) {
            TestFiles::writeBytes(path, "the file before");
            disk.fill();
        }
        RunArchive archive = RunArchive::local(m_store);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> run = archive.run(Long, &error);
        QVERIFY2(run, qPrintable(error));
        error = json ? RunExport::writeJson(archive, *run, path) : RunExport::writeCsv(archive, *run, path);
        QVERIFY2(error.startsWith(path + u':'), qPrintable(error));
        QCOMPARE(TestFiles::readBytes(path), QByteArray(fullDisk ? "the file before" : ""));
        if (fullDisk) {
            QCOMPARE(
                QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{QStringLiteral("run.out")});
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_store;
};

QTEST_GUILESS_MAIN(TestRunExport)
#include "tst_runexport.moc"
