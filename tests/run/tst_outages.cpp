#include "ProcessEnd.h"
#include "SimProcess.h"
#include "TestFiles.h"

#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// A program of four steps as a TSF line: the step number, the function and the cells by column.
QByteArray stepLine(int number, const char *function, const QHash<int, QByteArray> &cells)
{
    QList<QByteArray> columns(32);
    columns[0] = QByteArray::number(number);
    columns[1] = function;
    for (auto it = cells.begin(); it != cells.end(); ++it)
        columns[it.key()] = it.value();
    return columns.join(',');
}

QByteArray fourSteps()
{
    return TestFiles::crlfLines(
        {"header", stepLine(1, "Discharge", {{2, "CC"}, {3, "2"}, {4, "0"}, {5, "3"}, {6, "0"}, {30, "0"}, {31, "0"}}),
            stepLine(2, "Rest", {{5, "2"}}),
            stepLine(3, "Discharge", {{2, "CR"}, {3, "5"}, {4, "0"}, {5, "3"}, {6, "0"}, {30, "0"}, {31, "0"}}),
            stepLine(4, "OCP", {{8, "0"}, {9, "10"}, {10, "0.5"}, {11, "0.6"}, {12, "60"}, {13, "0"}})});
}

// vornic-run against a vornic-sim of its own, over TCP or a pseudo-terminal.
struct Bench
{
    QString name;
    QTemporaryDir dir;
    std::unique_ptr<SimProcess> sim;
    QProcess runner;

    QString path(const char *file) const { return dir.filePath(QLatin1String(file)); }

    bool startSim(bool pty, const QStringList &extra)
    {
        QStringList arguments{"--log", path("sim.log")};
        arguments += pty ? QStringList{"--pty", path("load-pty")} : QStringList{"--tcp", "0"};
        sim = std::make_unique<SimProcess>(arguments + extra);
        if (!sim->waitForAnnouncements(1))
            return false;
        TestFiles::writeBytes(path("VORN.INI"),
            pty ? TestFiles::serialLoadSettings(path("load-pty")) : TestFiles::lanLoadSettings(sim->port("load")));
        return true;
    }
    void startRunner(const QByteArray &program, const QStringList &extra = {})
    {
        TestFiles::writeBytes(path("test.TSF"), program);
        runner.start(TestFiles::binary("vornic-run"),
            QStringList{"--settings", path("VORN.INI"), "--log", path("run.CSV")} + extra
                + QStringList{path("test.TSF")});
    }
    // The lines the load received, in order.
    QStringList received() const { return TestFiles::loadLines(path("sim.log")); }
    QString lastErrorLine() { return QString::fromLatin1(runner.readAllStandardError().trimmed().split('\n').last()); }
};

// What the load is doing, as the lines it received set it up.
class LoadState
{
public:
    void take(const QString &line)
    {
        if (line.startsWith(u"MODE "))
            m_mode = line.mid(5);
        else if (line.contains(u":HIGH "))
            m_high[line.section(u':', 0, 0)] = line.section(u' ', 1);
        else if (line == u"LOAD ON")
            m_on = true;
        else if (line == u"LOAD OFF")
            m_on = false;
        else if (line.startsWith(u"TCONFIG "))
            m_test = line.mid(8);
        else if (line == u"START")
            m_testing = true;
        else if (line == u"STOP")
            m_testing = false;
    }
    // Which of the four steps this state is: 0 the CC step, 1 the Rest, 2 the CR step, 3 the OCP
    // test; -1 none of them.
    int step() const
    {
        if (m_testing)
            return !m_on && m_test == u"OCP" ? 3 : -1;
        if (!m_on)
            return 1;
        if (m_mode == u"CC" && m_high.value("CC") == u"2")
            return 0;
        if (m_mode == u"CR" && m_high.value("CR") == u"5")
            return 2;
        return -1;
    }

private:
    QString m_mode;
    QHash<QString, QString> m_high;
    QString m_test;
    bool m_on = false;
    bool m_testing = false;
};

// Every sample found the load set up as one of the steps, in the program's order, each step
// whole before its first sample, and the load's last line switched it off.
QString checkReceived(const QStringList &lines)
{
    LoadState state;
    int step = 0;
    int samples = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        state.take(line);
        if (line != u"MEAS:VC?")
            continue;
        ++samples;
        const int now = state.step();
        if (now < step)
            return QStringLiteral("line %1: a sample of step %2 while step %3 is set up")
                .arg(i)
                .arg(step + 1)
                .arg(now + 1);
        step = now;
    }
    if (step != 3)
        return QStringLiteral("the samples never reached the OCP test");
    if (lines.isEmpty() || lines.last() != u"LOAD OFF")
        return QStringLiteral("the load's last line: ") + lines.value(lines.size() - 1);
    return samples > 0 ? QString() : QStringLiteral("no sample");
}

// Rows numbered 1, 2, 3 ..., none more than the load answered samples.
QString checkRows(const Bench &bench, int samples)
{
    QList<QByteArray> lines = TestFiles::readBytes(bench.path("run.CSV")).split('\n');
    if (!lines.takeLast().isEmpty())
        return QStringLiteral("the CSV's last line is cut");
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (lines.at(i).split(',').first().toInt() != i)
            return QStringLiteral("row %1: %2").arg(i).arg(QString::fromLatin1(lines.at(i)));
    if (lines.size() - 1 > samples)
        return QStringLiteral("%1 rows for %2 samples").arg(lines.size() - 1).arg(samples);
    return QString();
}

} // namespace

// The load goes out of reach at random moments of a program of four steps (CC, Rest, CR, OCP),
// over TCP and over a pseudo-terminal: closed right after a sample, unreachable for a while, then
// back with its state as we left it. Whatever the moment, a new connection gives it what it was
// owed before the next sample; a short outage costs the run nothing; a long one loses the load 10 s
// after the first line that went unanswered. The runs go side by side.
class TestOutages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shortOutagesEndAsIfNoneHadBeen()
    {
        // Fixed, so that a failure names a run that can be made again.
        QRandomGenerator random(20261207);
        std::vector<std::unique_ptr<Bench>> benches;
        int outages = 0;
        for (int i = 0; i < 26; ++i) {
            const bool pty = i % 2 == 1;
            const int first = random.bounded(3, 60);
            const int second = random.bounded(first + 1, 75);
            const int firstMs = random.bounded(100, 8001);
            const int secondMs = random.bounded(100, 8001);
            auto bench = std::make_unique<Bench>();
            bench->name = QStringLiteral("%1: outages after sample %2 for %3 ms and after sample %4 for %5 ms")
                              .arg(pty ? "pty" : "TCP")
                              .arg(first)
                              .arg(firstMs)
                              .arg(second)
                              .arg(secondMs);
            QVERIFY2(
                bench->startSim(pty,
                    {"--fault",
                        QStringLiteral("outage=%1:%2,outage=%3:%4").arg(first).arg(firstMs).arg(second).arg(secondMs)}),
                qPrintable(bench->name));
            bench->startRunner(fourSteps());
            benches.push_back(std::move(bench));
            outages += 2;
        }
        QStringList failures;
        for (auto &bench : benches) {
            waitForEnd(bench->runner);
            const QString last = bench->lastErrorLine();
            const QStringList received = bench->received();
            QString failure;
            if (bench->runner.exitStatus() != QProcess::NormalExit || bench->runner.exitCode() != 0
                || !last.contains(u": PASS,"))
                failure = last;
            else if (!QTest::qWaitFor(
                         [&] { return bench->sim->announcements().filter(QStringLiteral("load outage")).size() == 2; },
                         30000))
                failure = QStringLiteral("the outages did not both come");
            else if (const QString wrong = checkReceived(received); !wrong.isEmpty())
                failure = wrong;
            else
                failure = checkRows(*bench, int(received.count(QStringLiteral("MEAS:VC?"))));
            if (!failure.isEmpty())
                failures.append(bench->name + QStringLiteral(": ") + failure);
        }
        qInfo("%d outages in %d runs", outages, int(benches.size()));
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }

    // 10 s after the first line that went unanswered, the run ends LOST, however that time went:
    // connections refused, new connections, questions asked again; or replies that cannot be read.
    void longOutagesLoseTheLoad()
    {
        struct Case
        {
            const char *name;
            bool pty;
            QStringList faults;
            QByteArray program = fourSteps();
        };
        const QByteArray longStep = TestFiles::crlfLines({"header",
            stepLine(1, "Discharge", {{2, "CC"}, {3, "2"}, {4, "0"}, {5, "60"}, {6, "0"}, {30, "0"}, {31, "0"}})});
        const QList<Case> cases{
            {"TCP, refused for 12 s", false, {"--fault", "outage=12:12000"}},
            {"pty, gone for 12 s", true, {"--fault", "outage=12:12000"}},
            {"TCP, closed before the step's off line", false, {"--fault", "outage=31:12000"}},
            {"pty, closed before the step's off line", true, {"--fault", "outage=31:12000"}},
            {"TCP, unreadable replies to TESTING?", false, {"--fault", "unusable-line=TESTING?"}},
            {"TCP, unreadable samples", false, {"--fault", "unusable-line=MEAS:VC?,unusable-after=20"}, longStep},
            {"pty, unreadable samples", true, {"--fault", "unusable-line=MEAS:VC?,unusable-after=20"}, longStep},
        };
        std::vector<std::unique_ptr<Bench>> benches;
        for (const Case &c : cases) {
            auto bench = std::make_unique<Bench>();
            bench->name = QLatin1String(c.name);
            QVERIFY2(bench->startSim(c.pty, c.faults), c.name);
            bench->startRunner(c.program, {"--trace"});
            benches.push_back(std::move(bench));
        }
        static const QRegularExpression lost(QStringLiteral("No usable reply from the load for (\\d+) ms: it is lost"));
        QStringList failures;
        for (auto &bench : benches) {
            waitForEnd(bench->runner);
            const QString errors = QString::fromLatin1(bench->runner.readAllStandardError());
            const QString last = errors.trimmed().section(u'\n', -1);
            const QRegularExpressionMatch silence = lost.match(errors);
            const int silentMs = silence.hasMatch() ? silence.captured(1).toInt() : -1;
            qInfo("%s: lost after %d ms", qPrintable(bench->name), silentMs);
            // Not before the 10 s; that it is not later either is tst_recovery's, on the fake clock.
            if (bench->runner.exitCode() != 2 || !last.contains(u": LOST,"))
                failures.append(bench->name + QStringLiteral(": ") + last);
            else if (silentMs < 10000)
                failures.append(bench->name + QStringLiteral(": lost after %1 ms").arg(silentMs));
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }

    // Another instrument at the load's address is found out by its name and sent nothing more.
    void anotherInstrumentIsNotTakenForTheLoad_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::newRow("TCP") << false;
        QTest::newRow("pty") << true;
    }
    void anotherInstrumentIsNotTakenForTheLoad()
    {
        QFETCH(bool, pty);
        Bench bench;
        QVERIFY(bench.startSim(pty, {}));
        const quint16 port = bench.sim->port("load");
        bench.startRunner(fourSteps());
        // Patience for a slow machine; a runner that ended early says why.
        QTRY_VERIFY_WITH_TIMEOUT(
            bench.received().count(QStringLiteral("MEAS:VC?")) >= 10 || bench.runner.state() == QProcess::NotRunning,
            120000);
        QVERIFY2(bench.runner.state() != QProcess::NotRunning, bench.runner.readAllStandardError().constData());
        bench.sim.reset();
        const QString otherLog = bench.path("other.log");
        QStringList arguments{"--model", "6310A", "--log", otherLog};
        arguments += pty ? QStringList{"--pty", bench.path("load-pty")} : QStringList{"--tcp", QString::number(port)};
        SimProcess other(arguments);
        QVERIFY(other.waitForAnnouncements(1));
        waitForEnd(bench.runner);

        const QString last = bench.lastErrorLine();
        QCOMPARE(bench.runner.exitCode(), 2);
        QVERIFY2(last.contains(u": ERROR,"), qPrintable(last));
        QStringList heard = TestFiles::loadLines(otherLog);
        heard.removeAll(QStringLiteral("REM"));
        QCOMPARE(heard, (QStringList{"name?", "name?"}));
    }

    // Stop soon after the connection went, before the run's first sample: the off line still
    // reaches the load, over a new connection.
    void stopAfterADropSwitchesTheLoadOff_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::newRow("TCP") << false;
        QTest::newRow("pty") << true;
    }
    void stopAfterADropSwitchesTheLoadOff()
    {
        QFETCH(bool, pty);
        Bench bench;
        // REM, name? and the step's five lines: the connection goes right after "LOAD ON".
        QVERIFY(bench.startSim(pty, {"--fault", "drop-after=7"}));
        bench.startRunner(TestFiles::crlfLines({"header",
            stepLine(1, "Discharge", {{2, "CC"}, {3, "2"}, {4, "0"}, {5, "30"}, {6, "0"}, {30, "0"}, {31, "5000"}})}));
        QTRY_VERIFY_WITH_TIMEOUT(bench.received().contains(QStringLiteral("LOAD ON")), 30000);
        // A terminal is replaced once what was sent on it has been read: then it is gone.
        if (pty)
            QTRY_COMPARE_WITH_TIMEOUT(bench.sim->announcements().size(), 2, 30000);
        bench.runner.terminate();
        waitForEnd(bench.runner);
        QCOMPARE(bench.runner.exitCode(), 130);
        QTRY_COMPARE_WITH_TIMEOUT(bench.received().last(), QStringLiteral("LOAD OFF"), 30000);
    }

    // A run whose load never answers ends at once: it names the address, sends nothing more and
    // keeps no model.
    void noLoadAnswers_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::newRow("TCP, a closed port") << false;
        QTest::newRow("a serial device that is not there") << true;
    }
    void noLoadAnswers()
    {
        QFETCH(bool, pty);
        Bench bench;
        QString address;
        if (pty) {
            address = bench.path("no-such-port");
            TestFiles::writeBytes(bench.path("VORN.INI"),
                QStringLiteral("[Load Option]\r\nConnectMode=0\r\nCOMPort=%1\r\n").arg(address).toLatin1());
        } else {
            // A port that was free a moment ago: nothing listens there.
            SimProcess gone({"--tcp", "0"});
            QVERIFY(gone.waitForAnnouncements(1));
            const quint16 port = gone.port("load");
            gone.process().kill();
            waitForEnd(gone.process());
            address = QStringLiteral("127.0.0.1:%1").arg(port);
            TestFiles::writeBytes(bench.path("VORN.INI"), TestFiles::lanLoadSettings(port));
        }
        bench.startRunner(fourSteps(), {"--summary", bench.path("summary.json")});
        waitForEnd(bench.runner);
        const QString errors = QString::fromLatin1(bench.runner.readAllStandardError());
        QCOMPARE(bench.runner.exitCode(), 2);
        QVERIFY2(errors.contains(QStringLiteral("No load answers at ") + address), qPrintable(errors));
        QVERIFY2(errors.trimmed().section(u'\n', -1).contains(u": ERROR, 0 rows"), qPrintable(errors));
        QVERIFY(TestFiles::readBytes(bench.path("summary.json")).contains("\"model\": \"\""));
    }
};

QTEST_GUILESS_MAIN(TestOutages)
#include "tst_outages.moc"
