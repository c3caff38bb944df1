#include "ProcessEnd.h"
#include "SimClient.h"
#include "SimProcess.h"

#include "TestFiles.h"
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>

#include <QTest>

namespace {

QByteArray stepLine(const char *function, const QHash<int, QByteArray> &cells)
{
    QList<QByteArray> fields(32);
    fields[0] = "1";
    fields[1] = function;
    for (auto it = cells.begin(); it != cells.end(); ++it)
        fields[it.key()] = it.value();
    return fields.join(',');
}

// A Discharge step at a level in a mode, stop conditions zero but the 2 s time, and a stable time.
QByteArray discharge(const QByteArray &mode, const QByteArray &level, const QByteArray &stableMs = "0")
{
    return stepLine("Discharge", {{2, mode}, {3, level}, {4, "0"}, {5, "2"}, {6, "0"}, {30, "0"}, {31, stableMs}});
}

// What the simulator logged as received from the load's link, line by line.
QStringList loadLines(const QByteArray &log)
{
    QStringList lines;
    for (const QByteArray &entry : log.split('\n')) {
        const qsizetype at = entry.indexOf(" = ");
        if (entry.startsWith("L ") && at > 0)
            lines.append(QString::fromLatin1(entry.mid(at + 3)));
    }
    return lines;
}

} // namespace

// vornic-run against vornic-sim over TCP: a program whose values the step judge refuses sends the
// load nothing at all. Refused on each field's own rule, the run ends before it connects;
// refused on the rating of the load that answers, it ends after the load has said who it is,
// before any step.
class TestRunRefusal : public QObject
{
    Q_OBJECT

    struct Outcome
    {
        int exitCode = -1;
        QByteArray errors;
        QByteArray out;
        // Everything the load was sent, the test's own closing "name?" left out.
        QStringList sent;
    };

    // Runs vornic-run with `arguments` against a fresh simulator, its settings and `labTable` in
    // a folder of their own; `program` is written as PROGRAM.TSF there.
    static Outcome run(const QByteArray &program, const QByteArray &labTable, const QStringList &arguments)
    {
        Outcome outcome;
        QTemporaryDir dir;
        const QString simLog = dir.filePath(QStringLiteral("sim.log"));
        SimProcess sim({"--tcp", "0", "--log", simLog});
        if (!sim.waitForAnnouncements(1))
            return outcome;
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(sim.port(QStringLiteral("load"))));
        if (!labTable.isEmpty())
            TestFiles::writeBytes(dir.filePath(QStringLiteral("rating-table.txt")), labTable);
        const QString programPath = dir.filePath(QStringLiteral("PROGRAM.TSF"));
        TestFiles::writeBytes(programPath, TestFiles::crlfLines({"header", program}));
        QStringList runArguments{"--settings", ini};
        runArguments += arguments.isEmpty() ? QStringList{"--log", dir.filePath(QStringLiteral("run.CSV")), programPath}
                                            : arguments;

        QProcess runner;
        runner.start(TestFiles::binary("vornic-run"), runArguments);
        if (!waitForEnd(runner))
            return outcome;
        outcome.exitCode = runner.exitCode();
        outcome.errors = runner.readAllStandardError();
        outcome.out = runner.readAllStandardOutput();

        // A question of the test's own, answered, comes after whatever the runner sent.
        SimClient probe;
        if (!probe.connectTcp(sim.port(QStringLiteral("load"))))
            return outcome;
        probe.write("name?\n");
        if (!probe.waitForReplies(1))
            return outcome;
        outcome.sent = loadLines(TestFiles::readBytes(simLog));
        if (outcome.sent.value(outcome.sent.size() - 1) != u"name?")
            return outcome;
        outcome.sent.removeLast();
        return outcome;
    }

private Q_SLOTS:
    void refusedBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QByteArray>("program");
        QTest::addColumn<QByteArray>("labTable");
        QTest::addColumn<QStringList>("refusals");
        // What the load was sent: nothing, or what identification asks.
        QTest::addColumn<QStringList>("sent");
        const QStringList nothing;
        const QStringList identification{"REM", "name?"};
        QTest::newRow("a level beyond any number sent")
            << discharge("CC", "1e308") << QByteArray()
            << QStringList{"Step 1, Load Value: 1e308 A is more than 900000000000000 A."} << nothing;
        QTest::newRow("a negative level") << discharge("CC", "-1") << QByteArray()
                                          << QStringList{"Step 1, Load Value: -1 A cannot be negative."} << nothing;
        QTest::newRow("a stable time beyond a millisecond timer")
            << discharge("CC", "1", "1e300") << QByteArray()
            << QStringList{"Step 1, Stable: 1e300 ms is more than 2147483647 ms."} << nothing;
        QTest::newRow("a current above the rating of the load that answers")
            << discharge("CC", "100") << QByteArray()
            << QStringList{"Step 1, Load Value: 100 A is more than the load's rated 60 A."} << identification;
        QTest::newRow("a voltage above the lab's rated voltage")
            << discharge("CV", "90") << QByteArray("60 80V 300W 6312C\n")
            << QStringList{"Step 1, Load Value: 90 V is more than the load's rated 80 V."} << identification;
    }
    void refusedBeforeAnythingIsSent()
    {
        QFETCH(QByteArray, program);
        QFETCH(QByteArray, labTable);
        QFETCH(QStringList, refusals);
        QFETCH(QStringList, sent);
        const Outcome outcome = run(program, labTable, {});
        QVERIFY2(outcome.exitCode == 2, outcome.errors.constData());
        for (const QString &refusal : refusals)
            QVERIFY2(outcome.errors.contains(refusal.toUtf8() + '\n'), outcome.errors.constData());
        QVERIFY2(outcome.errors.contains(sent.isEmpty()
                         ? "vornic-run: The test cannot start: these values must not be sent to the load.\n"
                         : "vornic-run: The test was not started: these values must not be sent to the load "
                           "6312C. No step was sent to it.\n"),
            outcome.errors.constData());
        QCOMPARE(outcome.sent, sent);
    }

    // A program within the field rules and the load's rating runs as before.
    void acceptedProgramRuns()
    {
        const Outcome outcome = run(discharge("CC", "60"), QByteArray(), {});
        QVERIFY2(outcome.exitCode == 0, outcome.errors.constData());
        QVERIFY(outcome.sent.contains(QStringLiteral("CC:HIGH 60")));
    }

    // Lines of the lab's rating table that cannot be read are named with the file and the line,
    // in a run and by --identify, and the rest of the table is used.
    void ratingTableProblemsAreNamed_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("run") << QStringList() << 0 << QByteArray();
        QTest::newRow("identify") << QStringList{"--identify"} << 0 << QByteArray("Model: 6312C\nRated current: 75\n");
    }
    void ratingTableProblemsAreNamed()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        const Outcome outcome
            = run(discharge("CC", "70"), "7.5 6312C\nabc 6312C\n# a comment\n-5 6312C\n75 6312C\n", arguments);
        QVERIFY2(outcome.exitCode == exitCode, outcome.errors.constData());
        QVERIFY2(outcome.out.startsWith(out), outcome.out.constData());
        const QList<QByteArray> lines = outcome.errors.split('\n');
        QStringList named;
        for (const QByteArray &line : lines) {
            if (line.contains("rating-table.txt"))
                named.append(QString::fromUtf8(line.mid(line.indexOf("rating-table.txt"))));
        }
        QCOMPARE(named,
            (QStringList{
                "rating-table.txt line 1: \"7.5\" is not a rating in amperes (1 to 100000); the line is left out",
                "rating-table.txt line 2: \"abc\" is not a rating in amperes (1 to 100000); the line is left out",
                "rating-table.txt line 4: \"-5\" is not a rating in amperes (1 to 100000); the line is left out"}));
        for (const QByteArray &line : lines) {
            if (line.contains("rating-table.txt"))
                QVERIFY2(line.startsWith("vornic-run: /"), line.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestRunRefusal)
#include "tst_runrefusal.moc"
