#include "ProcessEnd.h"
#include "SimProcess.h"

#include "TestFiles.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <QTest>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString testData(const char *name) { return qEnvironmentVariable("VORNIC_TEST_DATA") + u'/' + QLatin1String(name); }

// The lines every step of the sample program starts with, in the order of the run (the FOR body
// twice).
QStringList expectedStartLines()
{
    const QStringList body{"MODE CR", "CR:LOW 24", "CR:HIGH 24", "LOAD ON", "MODE CC", "CC:HIGH 3", "CC:LOW 1",
        "PERD:HIGH 0.05", "PERD:LOW 0.05", "RISE 0.384", "FALL 0.384", "LOAD ON", "DYN ON", "DYN OFF"};
    QStringList lines{"MODE CC", "CC:HIGH 1", "CC:LOW 1", "CC:HIGH 1", "LOAD ON", "LOAD OFF"};
    lines += body + body;
    lines += QStringList{"TCONFIG SHORT", "STIME 100", "START"};
    for (const char *low : {"3", "6"})
        lines += QStringList{"TCONFIG OCP", "OCP:START 0", "OCP:STEP 0.5", "OCP:STOP 10", "VTH 0.6", "IH 10",
            QStringLiteral("IL %1").arg(QLatin1String(low)), "NGENABLE ON", "START"};
    lines += QStringList{"TCONFIG OPP", "OPP:START 0", "OPP:STEP 5", "OPP:STOP 100", "VTH 0.6", "WH 100", "WL 10",
        "NGENABLE ON", "START"};
    lines += QStringList{"CC R2", "BATT:STEP 2", "BATT:CC0 1", "BATT:CC1 1", "BATT:DTIME1 1", "BATT:CC2 2",
        "BATT:DTIME2 1", "LDOFFV 10", "BATT:UVP 10", "BATT:REPEAT 1", "BATT:RAMP:CC ON"};
    lines += QStringList{"MODE CC", "CC:HIGH 1", "LIM:ADDCV:VOLT 11", "LIM:ADDCV ON"};
    lines += QStringList{"MODE CP", "CP:HIGH 10", "LIM:ADDCV:VOLT 11", "LIM:ADDCV ON"};
    lines += QStringList{"BATT:CURR 2", "BATT:UVP 10", "BATT:TIME 2", "BATT:AH 1", "BATT:TEST ON"};
    lines += QStringList{"BATT:POWER 20", "BATT:UVP 10", "BATT:TIME 2", "BATT:WH 1", "BATT:TEST ON"};
    lines += QStringList{"BATT:CCH1 2", "BATT:CCL1 1", "BATT:TH1 0.5", "BATT:TL1 0.5", "BATT:CYCLE1 2", "LDOFFV 10",
        "BATT:UVP 10", "BATT:REPEAT 1", "BATT:DYN ON"};
    lines += QStringList{"MODE CC", "CC:HIGH 5", "LIM:ADDCV:VOLT 11", "LIM:ADDCV ON"};
    lines += QStringList{"MODE CP", "CP:HIGH 50", "LIM:ADDCV:VOLT 11", "LIM:ADDCV ON"};
    lines += QStringList{"SEQLD:TEST OFF", "REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP 2", "SEQLD:CC0 1", "SEQLD:TIME0 100",
        "SEQLD:CC1 2", "SEQLD:TIME1 100", "VTH 0", "SEQLD:REPEAT 1", "SEQLD:TEST ON"};
    const QStringList external{"EXT:AIN ON", "CCR R2", "CC:HIGH 0.0027", "CC:LOW 0.0027", "CC:HIGH 0.0027", "LDONV 0.5",
        "LDOFFV 0", "LOAD ON"};
    lines += external + external;
    return lines;
}

// The lines the simulator logged as received from one instrument, and whether any was unknown.
QStringList loggedLines(const QByteArray &log, char instrument, int *unknown)
{
    QStringList lines;
    for (const QByteArray &entry : log.split('\n')) {
        const QList<QByteArray> parts = entry.split(' ');
        if (parts.size() < 3 || parts.at(0) != QByteArray(1, instrument))
            continue;
        if (parts.at(2) == "?")
            ++*unknown;
        lines.append(QString::fromLatin1(entry.mid(parts.at(0).size() + parts.at(1).size() + parts.at(2).size() + 3)));
    }
    return lines;
}

// The first place from `from` on where `expected` occurs in order (not necessarily adjacent);
// -1 with the missing line in `missing`.
bool containsInOrder(const QStringList &lines, const QStringList &expected, QString *missing)
{
    qsizetype at = 0;
    for (const QString &line : expected) {
        at = lines.indexOf(line, at);
        if (at < 0) {
            *missing = line;
            return false;
        }
        ++at;
    }
    return true;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void allFunctions_data()
    {
        QTest::addColumn<QString>("transport");
        QTest::newRow("LAN") << "lan";
        QTest::newRow("pseudo-terminal") << "pty";
        QTest::newRow("GPIB") << "gpib";
    }
    void allFunctions()
    {
        QFETCH(QString, transport);
        QTemporaryDir dir;
        const QString ptyPath = dir.filePath(QStringLiteral("load-pty"));
        const QString simLog = dir.filePath(QStringLiteral("sim.log"));
        SimProcess sim({"--tcp", "0", "--gen-tcp", "0", "--pty", ptyPath, "--model", "68016G", "--source", "supply",
            "--speed", "10", "--log", simLog});
        QVERIFY(sim.waitForAnnouncements(3));
        const quint16 loadPort = sim.port(QStringLiteral("load"));
        const quint16 generatorPort = sim.port(QStringLiteral("generator"));

        QString loadSection;
        if (transport == u"lan")
            loadSection
                = QStringLiteral("ConnectMode=2\r\nLanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\nLanPort=%1\r\n")
                      .arg(loadPort);
        else if (transport == u"pty")
            loadSection = QStringLiteral("ConnectMode=0\r\nCOMPort=%1\r\nHandShake=0\r\n").arg(ptyPath);
        else
            loadSection = QStringLiteral("ConnectMode=1\r\nAddress=5\r\n");
        const QString ini = QStringLiteral("[Load Option]\r\n%1[AFG Option]\r\nAFGEnable=1\r\nConnectMode=2\r\n"
                                           "LanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\nLanPort=%2\r\n"
                                           "[System]\r\nMeasureTime=100\r\n")
                                .arg(loadSection)
                                .arg(generatorPort);
        QFile iniFile(dir.filePath(QStringLiteral("VORN.INI")));
        QVERIFY(iniFile.open(QIODevice::WriteOnly));
        iniFile.write(ini.toLatin1());
        iniFile.close();

        QProcess runner;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_LIBRARY_PATH"), qEnvironmentVariable("VORNIC_GPIB_STANDIN_DIR"));
        environment.insert(QStringLiteral("VORNIC_GPIB_STANDIN"), QStringLiteral("127.0.0.1:%1").arg(loadPort));
        runner.setProcessEnvironment(environment);
        const QString csv = dir.filePath(QStringLiteral("run.CSV"));
        runner.start(TestFiles::binary("vornic-run"),
            {"--settings", iniFile.fileName(), "--log", csv, testData("all-functions.TSF")});
        QVERIFY(waitForEnd(runner));
        const QByteArray errors = runner.readAllStandardError();
        QVERIFY2(runner.exitStatus() == QProcess::NormalExit, errors.constData());
        // One OCP fails by design: the run finishes with a FAIL verdict.
        QVERIFY2(runner.exitCode() == 1, errors.constData());

        QList<QByteArray> rows = TestFiles::readBytes(csv).split('\n');
        rows.removeLast();
        QVERIFY(rows.size() > 50);
        QStringList verdicts;
        for (qsizetype i = 1; i < rows.size(); ++i) {
            const QList<QByteArray> fields = rows.at(i).chopped(1).split(',');
            QCOMPARE(fields.size(), 10);
            QCOMPARE(fields.at(0).toInt(), int(i));
            if (!fields.at(9).isEmpty())
                verdicts.append(QString::fromLatin1(fields.at(8) + ' ' + fields.at(9)));
        }
        QCOMPARE(verdicts,
            (QStringList{"Short PASS", "OCP PASS", "OCP FAIL", "OPP PASS", "Battery RAMP PASS",
                "Battery Discharge CC PASS", "Battery Discharge CP PASS", "Battery Cycle Life PASS"}));

        const QByteArray log = TestFiles::readBytes(simLog);
        int unknown = 0;
        const QStringList load = loggedLines(log, 'L', &unknown);
        const QStringList generator = loggedLines(log, 'G', &unknown);
        QCOMPARE(unknown, 0);
        QCOMPARE(load.first() == u"REM", transport != u"gpib");
        QString missing;
        QVERIFY2(containsInOrder(load, expectedStartLines(), &missing), qPrintable(missing));
        QVERIFY2(containsInOrder(generator,
                     {"*idn?", "SOUR1:APPL:SIN 60,0.0625,0.125", "OUTP ON", "SOUR1:APPL:PULS 60,0.0625,0.1875",
                         "SOUR1:PULS:EGDE 10us", "OUTP ON", "OUTP OFF"},
                     &missing),
            qPrintable(missing));
        QCOMPARE(load.mid(load.size() - 2), (QStringList{"LOAD OFF", "MEAS:VC?"}));
    }

    // Interrupted while sampling, and while it waits up to 10 s for a reply that the load holds back
    // for 8 s: the load is switched off and the runner ends at once.
    void interruptedRunSwitchesTheLoadOff_data()
    {
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QByteArray>("waitFor");
        QTest::addColumn<int>("signal");
        // The runner's stdout and stderr go into a pipe whose reader ends once the load is on
        // ("| head -1", a dropped ssh session): its next line is written into nothing.
        QTest::addColumn<bool>("readerGone");
        QTest::newRow("SIGTERM while sampling") << QStringList{} << QByteArray("LOAD ON") << int(SIGTERM) << false;
        QTest::newRow("SIGTERM in a reply wait") << QStringList{"--fault", "late=8000,late-line=MEAS:VC?"}
                                                 << QByteArray("MEAS:VC?") << int(SIGTERM) << false;
        QTest::newRow("SIGHUP, the terminal gone") << QStringList{} << QByteArray("LOAD ON") << int(SIGHUP) << false;
        QTest::newRow("SIGQUIT") << QStringList{} << QByteArray("LOAD ON") << int(SIGQUIT) << false;
        QTest::newRow("SIGTERM, the output's reader gone")
            << QStringList{} << QByteArray("LOAD ON") << int(SIGTERM) << true;
        QTest::newRow("SIGHUP, the ssh session gone") << QStringList{} << QByteArray("LOAD ON") << int(SIGHUP) << true;
    }
    void interruptedRunSwitchesTheLoadOff()
    {
        QFETCH(QStringList, fault);
        QFETCH(QByteArray, waitFor);
        QFETCH(int, signal);
        QFETCH(bool, readerGone);
        QTemporaryDir dir;
        const QString simLog = dir.filePath(QStringLiteral("sim.log"));
        SimProcess sim(QStringList{"--tcp", "0", "--log", simLog} + fault);
        QVERIFY(sim.waitForAnnouncements(1));
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(sim.port(QStringLiteral("load"))));
        const QString program = dir.filePath(QStringLiteral("long.TSF"));
        TestFiles::writeBytes(
            program, TestFiles::crlfLines({"header", "1,Discharge,CC,2,0,600,0" + QByteArray(24, ',') + "0,0"}));

        // In a reply wait, the runner's trace shows the question sent as the wait for its reply begins.
        const bool replyWait = !fault.isEmpty();
        QProcess runner;
        QByteArray traced;
        connect(&runner, &QProcess::readyReadStandardError, &runner,
            [&runner, &traced] { traced += runner.readAllStandardError(); });
        int output[2] = {-1, -1};
        if (readerGone) {
            QCOMPARE(::pipe2(output, O_CLOEXEC), 0);
            runner.setChildProcessModifier([in = output[1]] {
                ::dup2(in, STDOUT_FILENO);
                ::dup2(in, STDERR_FILENO);
            });
        }
        const QString csv = dir.filePath(QStringLiteral("run.CSV"));
        QStringList arguments{"--settings", ini, "--log", csv, program};
        if (replyWait)
            arguments.prepend(QStringLiteral("--trace"));
        runner.start(TestFiles::binary("vornic-run"), arguments);
        QVERIFY(runner.waitForStarted());
        if (readerGone)
            ::close(output[1]);
        QTRY_VERIFY_WITH_TIMEOUT(TestFiles::readBytes(simLog).contains(waitFor), 30000);
        if (readerGone)
            ::close(output[0]);
        // The unanswered question has gone out; or sampling has made a row.
        if (replyWait)
            QTRY_VERIFY_WITH_TIMEOUT(traced.contains("\n" + waitFor + ","), 30000);
        else
            QTRY_VERIFY_WITH_TIMEOUT(TestFiles::readBytes(csv).count('\n') >= 2, 30000);
        int unknown = 0;
        const qsizetype heardBefore = loggedLines(TestFiles::readBytes(simLog), 'L', &unknown).size();
        QVERIFY(signalRunning(runner, signal));
        QVERIFY(waitForEnd(runner));
        QCOMPARE(runner.exitStatus(), QProcess::NormalExit);
        QCOMPARE(runner.exitCode(), 130);
        const QStringList load = loggedLines(TestFiles::readBytes(simLog), 'L', &unknown);
        QCOMPARE(load.mid(load.size() - 2), (QStringList{"LOAD OFF", "MEAS:VC?"}));
        // Ended at once: after the signal the load got its off lines and the questions that proved
        // them, nothing that set it up again.
        const QStringList heardAfter = load.mid(heardBefore);
        QVERIFY2(heardAfter.count(QStringLiteral("LOAD ON")) == 0 && heardAfter.count(QStringLiteral("CC:HIGH 2")) == 0,
            qPrintable(heardAfter.join(u'|')));
        // The reply wait ended before the held-back reply came: between the question and the off line
        // the trace holds no reply, only the empty one of a wait cut short and what the runner said.
        if (replyWait) {
            const QList<QByteArray> traceLines = traced.split('\n');
            auto line = std::find_if(traceLines.begin(), traceLines.end(),
                [&](const QByteArray &traceLine) { return traceLine.startsWith(waitFor + ","); });
            QVERIFY2(line != traceLines.end(), traced.constData());
            while (++line != traceLines.end() && !line->startsWith("LOAD OFF,"))
                QVERIFY2(line->isEmpty() || line->startsWith("vornic-run: "), traced.constData());
            QVERIFY2(line != traceLines.end(), traced.constData());
        }
        QVERIFY(TestFiles::readBytes(csv).count('\n') >= (fault.isEmpty() ? 2 : 1));
    }

    // A file that holds no program is refused before anything reaches the load: exit 2 and why.
    void refusedProgramSendsNothing()
    {
        QTemporaryDir dir;
        const QString simLog = dir.filePath(QStringLiteral("sim.log"));
        SimProcess sim({"--tcp", "0", "--log", simLog});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, TestFiles::lanLoadSettings(sim.port(QStringLiteral("load"))));
        const QString program = dir.filePath(QStringLiteral("noise.TSF"));
        const QByteArray noise = TestFiles::noise(1 << 20, 11);
        TestFiles::writeBytes(program, noise);

        QProcess runner;
        runner.start(TestFiles::binary("vornic-run"),
            {"--settings", ini, "--log", dir.filePath(QStringLiteral("run.CSV")), program});
        QVERIFY(waitForEnd(runner));
        QCOMPARE(runner.exitStatus(), QProcess::NormalExit);
        QCOMPARE(runner.exitCode(), 2);
        QCOMPARE(QString::fromUtf8(runner.readAllStandardError()),
            QStringLiteral("vornic-run: %1: not a test step file: none of its %2 steps names a known test function; "
                           "nothing was loaded\n")
                .arg(program)
                .arg(TestFiles::linesAfterTheFirst(noise)));
        QCOMPARE(TestFiles::readBytes(simLog), QByteArray());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("run.CSV"))));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
