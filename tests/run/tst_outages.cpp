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

// One CC step of a minute.
QByteArray longStep()
{
    return TestFiles::crlfLines({"header",
        stepLine(1, "Discharge", {{2, "CC"}, {3, "2"}, {4, "0"}, {5, "60"}, {6, "0"}, {30, "0"}, {31, "0"}})});
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
    bool noRow = false;
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
    // Everything the runner said on stderr so far.
    QString errors()
    {
        m_errors += runner.readAllStandardError();
        return QString::fromUtf8(m_errors);
    }
    QString lastErrorLine() { return errors().trimmed().section(u'\n', -1); }
    // Waits until the runner says `text`, or has ended.
    bool waitForSaying(const QString &text)
    {
        return QTest::qWaitFor(
                   [&] { return errors().contains(text) || runner.state() == QProcess::NotRunning; }, 600000)
            && errors().contains(text);
    }

private:
    QByteArray m_errors;
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

// The load's last lines switched it off and then proved it: a reading after "LOAD OFF", with
// nothing after them that switched it on again.
QString checkOffProved(const QStringList &lines)
{
    const qsizetype off = lines.lastIndexOf(QStringLiteral("LOAD OFF"));
    if (off < 0 || lines.mid(off + 1) != QStringList{QStringLiteral("MEAS:VC?")})
        return QStringLiteral("the load's last lines: ")
            + lines.mid(std::max<qsizetype>(0, lines.size() - 4)).join(u'|');
    return QString();
}

// Every sample found the load set up as one of the steps, in the program's order, each step
// whole before its first sample, and the load's last line switched it off.
QString checkReceived(const QStringList &lines)
{
    LoadState state;
    int step = 0;
    int samples = 0;
    // The reading after the run's last "LOAD OFF" proves it; it is no sample of a step.
    const qsizetype end = lines.lastIndexOf(QStringLiteral("LOAD OFF"));
    for (qsizetype i = 0; i < end; ++i) {
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
    return samples > 0 ? checkOffProved(lines) : QStringLiteral("no sample");
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
    void outagesEndWithTheLoadProvedOff()
    {
        // Fixed, so that a failure names a run that can be made again.
        QRandomGenerator random(20261207);
        std::vector<std::unique_ptr<Bench>> benches;
        int outages = 0;
        for (int i = 0; i < 26; ++i) {
            const bool pty = i % 2 == 1;
            const int first = random.bounded(3, 60);
            const int second = random.bounded(first + 1, 75);
            const int firstMs = random.bounded(100, 14001);
            const int secondMs = random.bounded(100, 14001);
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
        int lost = 0;
        for (auto &bench : benches) {
            waitForEnd(bench->runner);
            const QString last = bench->lastErrorLine();
            const QStringList received = bench->received();
            QString failure;
            // An outage of over 10 s loses the load; the run then ends LOST, with its load proved
            // off once it is back. Whatever the end, the runner does not go before that proof.
            const bool lostRun = bench->runner.exitCode() == 2 && last.contains(u": LOST,");
            if (bench->runner.exitStatus() != QProcess::NormalExit
                || !(lostRun || (bench->runner.exitCode() == 0 && last.contains(u": PASS,"))))
                failure = last;
            else if (lostRun)
                failure = checkOffProved(received);
            else if (!QTest::qWaitFor(
                         [&] { return bench->sim->announcements().filter(QStringLiteral("load outage")).size() == 2; },
                         30000))
                failure = QStringLiteral("the outages did not both come");
            else if (const QString wrong = checkReceived(received); !wrong.isEmpty())
                failure = wrong;
            else
                failure = checkRows(*bench, int(received.count(QStringLiteral("MEAS:VC?"))));
            lost += lostRun ? 1 : 0;
            if (!failure.isEmpty())
                failures.append(bench->name + QStringLiteral(": ") + failure);
        }
        qInfo("%d outages in %d runs, %d of them lost", outages, int(benches.size()), lost);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }

    // 10 s after the first line that went unanswered, the run ends LOST, however that time went:
    // connections refused, new connections, questions asked again; or replies that cannot be read.
    void longOutagesLoseTheLoad()
    {
        struct Case
        {
            QString name;
            bool pty;
            QStringList faults;
            QByteArray program = fourSteps();
            // Whether the load can be proved off once the run is lost: not while it answers
            // nothing readable to the reading that proves it.
            bool provable = true;
            // No reply the run could read: it has no row.
            bool noRow = false;
        };
        const QByteArray longStep = ::longStep();
        QList<Case> cases{
            {"TCP, refused for 12 s", false, {"--fault", "outage=12:12000"}},
            {"pty, gone for 12 s", true, {"--fault", "outage=12:12000"}},
            {"TCP, closed before the step's off line", false, {"--fault", "outage=31:12000"}},
            {"pty, closed before the step's off line", true, {"--fault", "outage=31:12000"}},
            {"TCP, unreadable replies to TESTING?", false, {"--fault", "unusable-line=TESTING?"}},
            {"TCP, unreadable samples", false, {"--fault", "unusable-line=MEAS:VC?,unusable-after=20"}, longStep,
                false},
            {"pty, unreadable samples", true, {"--fault", "unusable-line=MEAS:VC?,unusable-after=20"}, longStep, false},
        };
        // Replies that come but are no reading, from the first: none becomes a row.
        const QList<std::pair<const char *, const char *>> unreadable{{"abc,def", "abc%2Cdef"},
            {"nan,nan", "nan%2Cnan"}, {"inf,-inf", "inf%2C-inf"},
            {"a line of a million digits", "1,unusable-repeat=1000000"}, {"a formula", "=cmd|' /C calc'!A0%2C1"}};
        for (const auto &[what, reply] : unreadable)
            for (const bool pty : {false, true})
                cases.append({QStringLiteral("%1, %2").arg(pty ? "pty" : "TCP", what), pty,
                    {"--fault", QStringLiteral("unusable-line=MEAS:VC?,unusable-reply=") + reply}, longStep, false,
                    true});
        std::vector<std::unique_ptr<Bench>> benches;
        for (const Case &c : cases) {
            auto bench = std::make_unique<Bench>();
            bench->name = c.name;
            bench->noRow = c.noRow;
            QVERIFY2(bench->startSim(c.pty, c.faults), qPrintable(c.name));
            bench->startRunner(c.program, {"--trace"});
            benches.push_back(std::move(bench));
        }
        static const QRegularExpression lost(QStringLiteral("No usable reply from the load for (\\d+) ms: it is lost"));
        QStringList failures;
        for (qsizetype i = 0; i < cases.size(); ++i) {
            Bench *bench = benches.at(i).get();
            // A load that cannot be proved off keeps the runner trying until a signal ends the
            // tries; it then says so by its exit code.
            const bool provable = cases.at(i).provable;
            if (!provable && bench->waitForSaying(QStringLiteral("may still be on")))
                bench->runner.terminate();
            waitForEnd(bench->runner);
            const QString errors = bench->errors();
            const QString last = errors.trimmed().section(u'\n', -1);
            const QRegularExpressionMatch silence = lost.match(errors);
            const int silentMs = silence.hasMatch() ? silence.captured(1).toInt() : -1;
            qInfo("%s: lost after %d ms", qPrintable(bench->name), silentMs);
            // Not before the 10 s; that it is not later either is tst_recovery's, on the fake clock.
            const qsizetype rows = TestFiles::linesAfterTheFirst(TestFiles::readBytes(bench->path("run.CSV")));
            if (bench->runner.exitCode() != (provable ? 2 : 3) || !last.contains(u": LOST,"))
                failures.append(bench->name + QStringLiteral(": ") + last);
            else if (const QString unproved = provable ? checkOffProved(bench->received()) : QString();
                     !unproved.isEmpty())
                failures.append(bench->name + QStringLiteral(": ") + unproved);
            else if (!provable && !errors.contains(QStringLiteral("MAY STILL BE ON")))
                failures.append(bench->name + QStringLiteral(": no word of a load that may still be on"));
            else if (silentMs < 10000)
                failures.append(bench->name + QStringLiteral(": lost after %1 ms").arg(silentMs));
            else if (bench->noRow && rows != 0)
                failures.append(bench->name + QStringLiteral(": %1 rows").arg(rows));
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }

    // However a run ends while its load is out of reach (a Stop in an outage, the run's only
    // "LOAD OFF" cut with the connection, a load lost), the runner stays until a reading after its
    // off lines, over a new connection, proves the load off once it is back.
    void offProvedOnceTheLoadIsBack_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::addColumn<QByteArray>("program");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("result");
        // The first sample ends the step: its voltage is under the 100 V stop.
        const QByteArray stopAtOnce = TestFiles::crlfLines({"header",
            stepLine(1, "Discharge", {{2, "CC"}, {3, "1"}, {4, "100"}, {5, "60"}, {6, "0"}, {30, "0"}, {31, "0"}})});
        for (const bool pty : {false, true}) {
            const char *link = pty ? "pty" : "TCP";
            QTest::addRow("%s, Stop 0.5 s into a 3 s outage", link)
                << pty << longStep() << "outage=5:3000" << true << 130 << "STOPPED";
            QTest::addRow("%s, the run's only LOAD OFF cut with the connection", link)
                << pty << stopAtOnce << "outage=1:3000" << false << 0 << "PASS";
            QTest::addRow("%s, lost in a 12 s outage", link)
                << pty << longStep() << "outage=5:12000" << false << 2 << "LOST";
        }
    }
    void offProvedOnceTheLoadIsBack()
    {
        QFETCH(bool, pty);
        QFETCH(QByteArray, program);
        QFETCH(QString, fault);
        QFETCH(bool, stop);
        QFETCH(int, exitCode);
        QFETCH(QString, result);
        Bench bench;
        QVERIFY(bench.startSim(pty, {"--fault", fault}));
        bench.startRunner(program);
        if (stop) {
            QTRY_VERIFY_WITH_TIMEOUT(!bench.sim->announcements().filter(QStringLiteral("load outage")).isEmpty()
                    || bench.runner.state() == QProcess::NotRunning,
                120000);
            // The moment of the Stop is the case's, not a wait for an outcome.
            QTest::qWait(500);
            QVERIFY(signalRunning(bench.runner, SIGTERM));
        }
        waitForEnd(bench.runner);
        const QString errors = bench.errors();
        QCOMPARE(bench.runner.exitCode(), exitCode);
        QVERIFY2(bench.lastErrorLine().contains(QStringLiteral(": %1,").arg(result)), qPrintable(errors));
        QVERIFY2(errors.contains(QStringLiteral("may still be on")), qPrintable(errors));
        QVERIFY2(
            QRegularExpression(QStringLiteral("the load at \\S+ is confirmed off \\(0\\.000 A\\), \\d+\\.\\d s after "
                                              "the run's end"))
                .match(errors)
                .hasMatch(),
            qPrintable(errors));
        const QStringList received = bench.received();
        QCOMPARE(received.mid(received.size() - 3), (QStringList{"name?", "LOAD OFF", "MEAS:VC?"}));
    }

    // A load that never comes back keeps the runner trying until a second signal; it then says
    // that the load may still be on, and its exit code says it too.
    void aLoadThatNeverReturnsIsSaidToBeOn_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::newRow("TCP") << false;
        QTest::newRow("pty") << true;
    }
    void aLoadThatNeverReturnsIsSaidToBeOn()
    {
        QFETCH(bool, pty);
        Bench bench;
        QVERIFY(bench.startSim(pty, {"--fault", "outage=5:3600000"}));
        bench.startRunner(longStep());
        QTRY_VERIFY_WITH_TIMEOUT(!bench.sim->announcements().filter(QStringLiteral("load outage")).isEmpty()
                || bench.runner.state() == QProcess::NotRunning,
            120000);
        QVERIFY(signalRunning(bench.runner, SIGTERM));
        QVERIFY2(bench.waitForSaying(QStringLiteral("trying again in")), qPrintable(bench.errors()));
        QVERIFY(bench.runner.state() == QProcess::Running);
        QVERIFY(signalRunning(bench.runner, SIGTERM));
        waitForEnd(bench.runner);
        const QString errors = bench.errors();
        QCOMPARE(bench.runner.exitCode(), 3);
        QVERIFY2(
            errors.contains(QStringLiteral("MAY STILL BE ON: it could not be told to switch off")), qPrintable(errors));
        QVERIFY2(bench.lastErrorLine().contains(u": STOPPED,"), qPrintable(errors));
    }

    // A load may end its replies by CR, LF or both: each ends a reply at once, over TCP and over a
    // pseudo-terminal, so no pass waits out a time-out (which would overrun its interval) and no
    // reply goes missing.
    void everyLineEndEndsAReply_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::addColumn<QString>("end");
        for (const bool pty : {false, true})
            for (const char *end : {"cr", "lf", "crlf"})
                QTest::addRow("%s, %s", pty ? "pty" : "TCP", end) << pty << QString::fromLatin1(end);
    }
    void everyLineEndEndsAReply()
    {
        QFETCH(bool, pty);
        QFETCH(QString, end);
        Bench bench;
        QVERIFY(bench.startSim(pty, {"--fault", QStringLiteral("line-end=") + end}));
        // Sampling well above a pass's cost, well below the serial reply's 1 s time-out.
        TestFiles::writeBytes(bench.path("VORN.INI"),
            TestFiles::readBytes(bench.path("VORN.INI")).replace("MeasureTime=100", "MeasureTime=500"));
        bench.startRunner(
            TestFiles::crlfLines({"header",
                stepLine(1, "Discharge", {{2, "CC"}, {3, "1"}, {4, "0"}, {5, "3"}, {6, "0"}, {30, "0"}, {31, "0"}})}),
            {"--trace"});
        waitForEnd(bench.runner);
        const QString errors = QString::fromLatin1(bench.runner.readAllStandardError());
        QCOMPARE(bench.runner.exitCode(), 0);
        QVERIFY2(errors.trimmed().section(u'\n', -1).contains(u": PASS,"), qPrintable(errors));
        QVERIFY2(!errors.contains(QStringLiteral("No reply from the load")), qPrintable(errors));
        const qsizetype passes = errors.count(QStringLiteral("timer1=>"));
        const qsizetype overruns = errors.count(QStringLiteral("Interval=10\n"));
        QVERIFY2(passes >= 6 && overruns * 2 < passes,
            qPrintable(QStringLiteral("%1 of %2 passes overran").arg(overruns).arg(passes)));
        // A row for every pass but the last, which finds the step's time over.
        QCOMPARE(TestFiles::linesAfterTheFirst(TestFiles::readBytes(bench.path("run.CSV"))), passes - 1);
    }

    // The connection goes right after the load's OCP test was started, before anything showed that
    // the start arrived: the new connection starts it again, and the run says so.
    void aTestStartedAgainIsSaid_data()
    {
        QTest::addColumn<bool>("pty");
        QTest::newRow("TCP") << false;
        QTest::newRow("pty") << true;
    }
    void aTestStartedAgainIsSaid()
    {
        QFETCH(bool, pty);
        Bench bench;
        QVERIFY(bench.startSim(pty, {"--fault", "outage=1:2000,outage-line=START"}));
        bench.startRunner(TestFiles::crlfLines(
            {"header", stepLine(1, "OCP", {{8, "0"}, {9, "10"}, {10, "0.5"}, {11, "0.6"}, {12, "60"}, {13, "0"}})}));
        waitForEnd(bench.runner);
        const QString errors = QString::fromLatin1(bench.runner.readAllStandardError());
        QCOMPARE(bench.runner.exitCode(), 0);
        static const QRegularExpression said(QStringLiteral(
            "step 1: the load's OCP test was started again at ([0-9.]+) s of the run, over a reopened link: the first "
            "start may not have reached it"));
        const QRegularExpressionMatch match = said.match(errors);
        QVERIFY2(match.hasMatch(), qPrintable(errors));
        QVERIFY(match.captured(1).toDouble() >= 2.0);
        QCOMPARE(errors.count(said), 1);
        QCOMPARE(bench.received().count(QStringLiteral("START")), 2);
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
        // The load itself is out of reach, perhaps still on: the runner keeps asking who answers
        // there until a signal ends the tries.
        QVERIFY2(bench.waitForSaying(QStringLiteral("another instrument answers at")), qPrintable(bench.errors()));
        QVERIFY(signalRunning(bench.runner, SIGTERM));
        waitForEnd(bench.runner);

        const QString last = bench.lastErrorLine();
        QCOMPARE(bench.runner.exitCode(), 3);
        QVERIFY2(last.contains(u": ERROR,"), qPrintable(last));
        QStringList heard = TestFiles::loadLines(otherLog);
        heard.removeAll(QStringLiteral("REM"));
        QVERIFY(heard.size() >= 2);
        QCOMPARE(heard, QStringList(heard.size(), QStringLiteral("name?")));
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
        QCOMPARE(checkOffProved(bench.received()), QString());
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
