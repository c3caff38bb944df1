#include "ComparedRuns.h"
#include "PgCluster.h"
#include "store/RunArchive.h"
#include "store/RunComparison.h"
#include "store/RunComparisonReader.h"
#include "store/RunComparisonTable.h"

#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

namespace {

constexpr double None = std::numeric_limits<double>::quiet_NaN();

QString uuidOf(char letter)
{
    return QStringLiteral("c0de000%1-0000-4000-8000-000000000000").arg(QChar(QLatin1Char(letter)).toLower());
}

// NaN equals NaN here: a figure a run lacks is lacking from both.
bool same(double actual, double expected)
{
    return std::isnan(expected) ? std::isnan(actual) : std::abs(actual - expected) < 1e-9;
}

} // namespace

// The figures of stored runs, read from the bench's file and from the lab's server alike, and how
// they spread over several runs.
class TestRunComparison : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_bench;
    // Made for the first row that reads the server.
    std::unique_ptr<PgCluster> m_lab;

    // The store of the bench, or of the lab; nothing (the test skipped) when no server runs here.
    std::optional<RunArchive> archive(bool lab)
    {
        if (lab && !m_lab) {
            m_lab = std::make_unique<PgCluster>();
            if (m_lab->problem().isEmpty())
                ComparedRuns::forward(m_bench, *m_lab);
        }
        if (lab && !m_lab->problem().isEmpty())
            return std::nullopt;
        StoreServer server;
        if (lab) {
            server.host = QStringLiteral("127.0.0.1");
            server.port = m_lab->port();
            server.database = PgCluster::Database;
            server.user = PgCluster::User;
        }
        std::optional<RunArchive> opened(lab ? RunArchive::server(server) : RunArchive::local(m_bench));
        QString error;
        if (!opened->open(&error))
            qWarning() << error;
        return opened;
    }

    // The runs named by `letters`, measured as aligned.
    std::optional<RunComparison> compared(bool lab, const QString &letters, int alignStep)
    {
        std::optional<RunArchive> store = archive(lab);
        if (!store)
            return std::nullopt;
        QStringList uuids;
        for (QChar letter : letters)
            uuids.append(uuidOf(letter.toLatin1()));
        QString error;
        std::optional<RunComparisonReader::Read> read = RunComparisonReader::read(
            *store, uuids, alignStep ? std::optional(alignStep) : std::nullopt, [] { return false; }, &error);
        if (!read) {
            qWarning() << error;
            return RunComparison();
        }
        return read->comparison;
    }

    // Each row for the bench's file, then for the lab's server.
    template <typename Row> static void bothStores(Row row)
    {
        for (const bool lab : {false, true})
            row(lab, lab ? "lab: " : "bench: ");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_bench = m_dir.filePath(QStringLiteral("runs.sqlite"));
        ComparedRuns::writeBench(m_bench);
    }

    void figuresOfOneRun_data()
    {
        QTest::addColumn<bool>("lab");
        QTest::addColumn<char>("run");
        QTest::addColumn<int>("alignStep");
        QTest::addColumn<QList<double>>("numbers");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("verdicts");
        bothStores([](bool lab, const char *store) {
            const auto row = [&](const char *name, char run, int align, QList<double> numbers, const char *ending,
                                 const char *verdicts) {
                QTest::newRow(qPrintable(QLatin1String(store) + QLatin1String(name)))
                    << lab << run << align << numbers << QString::fromLatin1(ending) << QString::fromLatin1(verdicts);
            };
            // Ah, Wh, seconds, end V, lowest V.
            row("whole run", 'A', 0, {1.1, 4.1, 3600, 3.6, 3.5}, "PASS, voltage", "1 PASS");
            row("aligned at step 2: step 1's sag left out", 'A', 2, {1.0, 3.7, 3000, 3.6, 3.6}, "PASS, voltage",
                "1 PASS");
            row("aligned at step 1: the whole run", 'A', 1, {1.1, 4.1, 3600, 3.6, 3.5}, "PASS, voltage", "1 PASS");
            row("verdicts of both kinds", 'B', 2, {1.2, 4.44, 3720, 3.7, 3.7}, "FAIL, voltage", "1 PASS, 1 FAIL");
            row("stopped, lowest at the end", 'C', 0, {0.9, 3.36, 3480, 3.2, 3.2}, "STOPPED, stopped", "");
            row("never ended, nothing sampled", 'E', 0, {0, 0, 0, None, None}, "UNFINISHED", "");
        });
    }
    void figuresOfOneRun()
    {
        QFETCH(bool, lab);
        QFETCH(char, run);
        QFETCH(int, alignStep);
        QFETCH(QList<double>, numbers);
        QFETCH(QString, ending);
        QFETCH(QString, verdicts);
        const std::optional<RunComparison> comparison = compared(lab, QString(QLatin1Char(run)), alignStep);
        if (!comparison)
            QSKIP(qPrintable(m_lab->problem()));
        QCOMPARE(comparison->entries().size(), 1);
        const RunFigures &figures = comparison->entries().first().figures;
        const QList<double> actual{
            figures.ampHours, figures.wattHours, figures.seconds, figures.endVolts, figures.minVolts};
        for (qsizetype k = 0; k < numbers.size(); ++k)
            QVERIFY2(same(actual.at(k), numbers.at(k)),
                qPrintable(QStringLiteral("figure %1: %2, not %3").arg(k).arg(actual.at(k)).arg(numbers.at(k))));
        QCOMPARE(figures.ending, ending);
        QCOMPARE(figures.verdicts, verdicts);
    }

    void runWithoutTheAlignedStep_data()
    {
        QTest::addColumn<bool>("lab");
        QTest::addColumn<char>("run");
        QTest::addColumn<int>("alignStep");
        bothStores([](bool lab, const char *store) {
            QTest::newRow(qPrintable(QLatin1String(store) + QLatin1String("one step only"))) << lab << 'D' << 2;
            QTest::newRow(qPrintable(QLatin1String(store) + QLatin1String("past the last step"))) << lab << 'A' << 3;
            QTest::newRow(qPrintable(QLatin1String(store) + QLatin1String("no step at all"))) << lab << 'E' << 1;
        });
    }
    void runWithoutTheAlignedStep()
    {
        QFETCH(bool, lab);
        QFETCH(char, run);
        QFETCH(int, alignStep);
        std::optional<RunArchive> store = archive(lab);
        if (!store)
            QSKIP(qPrintable(m_lab->problem()));
        QString error;
        const std::optional<StoredRun> stored = store->run(uuidOf(run), &error);
        QVERIFY2(stored, qPrintable(error));
        QVERIFY(!RunFigures::measure(*stored, ChartHistory(), alignStep, &error));
        QCOMPARE(error, QStringLiteral("run %1 has no step %2 to align at").arg(uuidOf(run)).arg(alignStep));
    }

    void spreadOverRuns_data()
    {
        QTest::addColumn<QString>("runs");
        QTest::addColumn<int>("alignStep");
        QTest::addColumn<int>("figure");
        // Mean, min, max, standard deviation.
        QTest::addColumn<QList<double>>("spread");
        const double secondsDeviation = std::sqrt((200.0 * 200 + 520.0 * 520 + 320.0 * 320) / 2);
        QTest::newRow("Ah, aligned") << "ABC" << 2 << 0 << QList<double>{1.0, 0.8, 1.2, 0.2};
        QTest::newRow("Ah, whole runs") << "ABC" << 0 << 0 << QList<double>{1.1, 0.9, 1.3, 0.2};
        QTest::newRow("Wh, aligned") << "ABC" << 2 << 1 << QList<double>{3.7, 2.96, 4.44, 0.74};
        QTest::newRow("seconds, aligned") << "ABC" << 2 << 2 << QList<double>{3200, 2880, 3720, secondsDeviation};
        QTest::newRow("seconds, whole runs") << "ABC" << 0 << 2 << QList<double>{3800, 3480, 4320, secondsDeviation};
        QTest::newRow("end V") << "ABC" << 0 << 3 << QList<double>{3.5, 3.2, 3.7, std::sqrt(0.14 / 2)};
        QTest::newRow("lowest V, whole runs")
            << "ABC" << 0 << 4 << QList<double>{10.1 / 3, 3.2, 3.5, std::sqrt(0.42 / 9 / 2)};
        QTest::newRow("one run: no deviation") << "B" << 2 << 0 << QList<double>{1.2, 1.2, 1.2, 0};
        QTest::newRow("a run without samples is left out of the voltages")
            << "AE" << 0 << 3 << QList<double>{3.6, 3.6, 3.6, 0};
        QTest::newRow("but not of the capacity") << "AE" << 0 << 0 << QList<double>{0.55, 0, 1.1, std::sqrt(0.605)};
    }
    void spreadOverRuns()
    {
        QFETCH(QString, runs);
        QFETCH(int, alignStep);
        QFETCH(int, figure);
        QFETCH(QList<double>, spread);
        const std::optional<RunComparison> comparison = compared(false, runs, alignStep);
        QCOMPARE(comparison->entries().size(), runs.size());
        const RunComparison::Figure figures[] = {
            [](const RunComparison::Entry &entry) { return entry.figures.ampHours; },
            [](const RunComparison::Entry &entry) { return entry.figures.wattHours; },
            [](const RunComparison::Entry &entry) { return entry.figures.seconds; },
            [](const RunComparison::Entry &entry) { return entry.figures.endVolts; },
            [](const RunComparison::Entry &entry) { return entry.figures.minVolts; },
        };
        const std::optional<RunComparison::Spread> actual = comparison->spread(figures[figure]);
        QVERIFY(actual);
        const QList<double> parts{actual->mean, actual->min, actual->max, actual->stddev};
        for (qsizetype k = 0; k < spread.size(); ++k)
            QVERIFY2(same(parts.at(k), spread.at(k)),
                qPrintable(
                    QStringLiteral("part %1: %2, not %3").arg(k).arg(parts.at(k), 0, 'g', 17).arg(spread.at(k))));
    }

    void noRunHasTheFigure()
    {
        const std::optional<RunComparison> comparison = compared(false, QStringLiteral("E"), 0);
        QVERIFY(!comparison->spread([](const RunComparison::Entry &entry) { return entry.figures.endVolts; }));
        QVERIFY(!comparison->stateOfHealthSpread());
    }

    // Runs aligned at step 2: A drew 1.0 Ah, B 1.2 Ah, C 0.8 Ah.
    void stateOfHealthAtTheThreshold_data()
    {
        QTest::addColumn<char>("run");
        QTest::addColumn<double>("nominal");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<double>("health");
        QTest::addColumn<bool>("healthy");
        const double justAbove = std::nextafter(0.8, 1.0);
        QTest::newRow("at the threshold") << 'A' << 1.25 << 0.8 << 0.8 << true;
        QTest::newRow("just below it") << 'A' << 1.25 << justAbove << 0.8 << false;
        QTest::newRow("another at the threshold") << 'C' << 1.0 << 0.8 << 0.8 << true;
        QTest::newRow("well below") << 'C' << 1.25 << 0.8 << 0.64 << false;
        QTest::newRow("above the nominal") << 'B' << 1.0 << 0.8 << 1.2 << true;
        QTest::newRow("a stricter threshold") << 'B' << 1.25 << 0.97 << 0.96 << false;
    }
    void stateOfHealthAtTheThreshold()
    {
        QFETCH(char, run);
        QFETCH(double, nominal);
        QFETCH(double, threshold);
        QFETCH(double, health);
        QFETCH(bool, healthy);
        std::optional<RunComparison> comparison = compared(false, QString(QLatin1Char(run)), 2);
        QVERIFY(std::isnan(comparison->stateOfHealth(comparison->entries().first())));
        comparison->setNominal(nominal, threshold);
        const RunComparison::Entry &entry = comparison->entries().first();
        QVERIFY(same(comparison->stateOfHealth(entry), health));
        QCOMPARE(comparison->healthy(entry), healthy);
    }

    void stateOfHealthSpread()
    {
        std::optional<RunComparison> comparison = compared(false, QStringLiteral("ABC"), 2);
        comparison->setNominal(1.25);
        QCOMPARE(comparison->threshold(), RunComparison::DefaultThreshold);
        const std::optional<RunComparison::Spread> spread = comparison->stateOfHealthSpread();
        QVERIFY(spread);
        QVERIFY(same(spread->mean, 0.8) && same(spread->min, 0.64) && same(spread->max, 0.96));
        QVERIFY(same(spread->stddev, 0.16));
    }

    // What the window's table and the PDF show: units, rounding, durations and the spread's rows.
    void tableAsTheReaderSeesIt()
    {
        std::optional<RunComparison> comparison = compared(false, QStringLiteral("ABC"), 2);
        comparison->setNominal(1.0, 0.9);
        const RunComparisonTable table(*comparison);
        QCOMPARE(table.headers().join(u'|'),
            QStringLiteral("#|Station|Program|Started|Result|Capacity|Energy|Duration|End V|Min V|Ending|Verdicts|SOH|"
                           "Health"));
        QCOMPARE(table.runRows(), 3);
        QCOMPARE(table.healthColumn(), 13);
        const QStringList expected{
            "1|Bench 1|cell.TSF|2026-05-01 09:00|PASS|1.0000 Ah|3.700 Wh|50 min 00 s|3.600 V|3.600 V|PASS, voltage|1 "
            "PASS|100.0 %|PASS",
            "2|Bench 1|cell, 2p.TSF|2026-05-02 09:00|FAIL|1.2000 Ah|4.440 Wh|1 h 02 min 00 s|3.700 V|3.700 V|FAIL, "
            "voltage|1 PASS, 1 FAIL|120.0 %|PASS",
            "3|Bench 2|cell.TSF|2026-05-03 09:00|STOPPED|0.8000 Ah|2.960 Wh|48 min 00 s|3.200 V|3.200 V|STOPPED, "
            "stopped||80.0 %|FAIL",
            "Mean|||||1.0000 Ah|3.700 Wh|53 min 20 s|3.500 V|3.500 V|||100.0 %|",
            "Min|||||0.8000 Ah|2.960 Wh|48 min 00 s|3.200 V|3.200 V|||80.0 %|",
            "Max|||||1.2000 Ah|4.440 Wh|1 h 02 min 00 s|3.700 V|3.700 V|||120.0 %|",
            "Std dev|||||0.2000 Ah|0.740 Wh|7 min 34 s|0.265 V|0.265 V|||20.0 %|",
        };
        QCOMPARE(table.rows().size(), expected.size());
        for (qsizetype k = 0; k < expected.size(); ++k)
            QCOMPARE(table.rows().at(k).join(u'|'), expected.at(k));
    }
};

QTEST_GUILESS_MAIN(TestRunComparison)
#include "tst_runcomparison.moc"
