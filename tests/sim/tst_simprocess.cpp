#include "SimClient.h"
#include "SimProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestSimProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tcpServesClientsInTurnAndLogsEveryLine()
    {
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("sim.log"));
        SimProcess sim({"--tcp", "0", "--source", "supply", "--log", logPath});
        QVERIFY(sim.waitForAnnouncements(1));
        QVERIFY(QRegularExpression(QStringLiteral("^load tcp 127\\.0\\.0\\.1:\\d+$"))
                    .match(sim.announcements().first())
                    .hasMatch());

        SimClient first;
        QVERIFY(first.connectTcp(sim.port(QStringLiteral("load"))));
        first.write("name?\r\nMODE CC\nCC:HIGH 2\r\nLOAD ON\nFOO\nMEAS:VC?\n");
        QVERIFY(first.waitForReplies(2));
        QCOMPARE(first.arrivals().join(), QByteArray("6312C\r\n11.980,2.000\r\n"));
        first.close();

        SimClient second;
        QVERIFY(second.connectTcp(sim.port(QStringLiteral("load"))));
        second.write("MEAS:VC?\n");
        QVERIFY(second.waitForReplies(1));
        QCOMPARE(second.replies(), QList<QByteArray>{"11.980,2.000"});
        QCOMPARE(sim.process().state(), QProcess::Running);

        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        const QStringList expected{"L \\d+ = name\\?", "L \\d+ = MODE CC", "L \\d+ = CC:HIGH 2", "L \\d+ = LOAD ON",
            "L \\d+ \\? FOO", "L \\d+ = MEAS:VC\\?", "L \\d+ = MEAS:VC\\?", ""};
        QCOMPARE(lines.size(), expected.size());
        for (int i = 0; i < lines.size(); ++i) {
            QVERIFY2(QRegularExpression(QLatin1Char('^') + expected[i] + QLatin1Char('$'))
                         .match(QString::fromLatin1(lines[i]))
                         .hasMatch(),
                lines[i].constData());
        }
    }

    void operatingPointOverTcp_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QByteArray>("reply");
        // Battery 12.6 V behind 0.05 Ohm; supply 12 V behind 0.01 Ohm with a 5 A limit.
        QTest::newRow("battery CC") << "battery" << QByteArray("MODE CC\nCC:HIGH 2\n") << QByteArray("12.500,2.000");
        QTest::newRow("battery CR") << "battery" << QByteArray("MODE CR\nCR:HIGH 10\n") << QByteArray("12.537,1.254");
        QTest::newRow("battery CV") << "battery" << QByteArray("MODE CV\nCV:HIGH 12\n") << QByteArray("12.000,12.000");
        QTest::newRow("battery CP") << "battery" << QByteArray("MODE CP\nCP:HIGH 25\n") << QByteArray("12.500,2.000");
        QTest::newRow("supply CC") << "supply" << QByteArray("MODE CC\nCC:HIGH 2\n") << QByteArray("11.980,2.000");
        QTest::newRow("supply CR") << "supply" << QByteArray("MODE CR\nCR:HIGH 10\n") << QByteArray("11.988,1.199");
        QTest::newRow("supply CV") << "supply" << QByteArray("MODE CV\nCV:HIGH 11\n") << QByteArray("11.000,5.000");
        QTest::newRow("supply CP") << "supply" << QByteArray("MODE CP\nCP:HIGH 24\n") << QByteArray("11.980,2.003");
    }

    void operatingPointOverTcp()
    {
        QFETCH(QString, source);
        QFETCH(QByteArray, lines);
        QFETCH(QByteArray, reply);
        SimProcess sim({"--tcp", "0", "--source", source});
        QVERIFY(sim.waitForAnnouncements(1));
        SimClient client;
        QVERIFY(client.connectTcp(sim.port(QStringLiteral("load"))));
        client.write("MEAS:VC?\n" + lines + "LOAD ON\nMEAS:VC?\nLOAD OFF\nMEAS:VC?\n");
        QVERIFY(client.waitForReplies(3));
        const QByteArray open = source == QLatin1String("supply") ? "12.000,0.000" : "12.600,0.000";
        QCOMPARE(client.replies(), (QList<QByteArray>{open, reply, open}));
    }

    void ptyServesClientsInTurn()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("load"));
        SimProcess sim({"--pty", link, "--model", "6314C"});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString device = QFileInfo(link).symLinkTarget();
        QVERIFY(device.startsWith(QStringLiteral("/dev/pts/")));
        QCOMPARE(sim.announcements().first(), QStringLiteral("load pty %1 -> %2").arg(link, device));

        SimClient client;
        QVERIFY(client.openTerminal(link));
        client.write("name?\n");
        QVERIFY(client.waitForReplies(1));
        QCOMPARE(client.arrivals().join(), QByteArray("6314C\r\n"));
        client.close();

        QVERIFY(client.openTerminal(link));
        client.write("MODE CV\r\nCV:HIGH 12\r\nLOAD ON\r\nMEAS:VC?\r\n");
        QVERIFY(client.waitForReplies(1));
        QCOMPARE(client.replies(), QList<QByteArray>{"12.000,12.000"});
    }

    void ocpAgainstSupplyTripsNearItsLimit()
    {
        SimProcess sim({"--tcp", "0", "--source", "supply", "--current-limit", "5", "--speed", "50"});
        QVERIFY(sim.waitForAnnouncements(1));
        SimClient client;
        QVERIFY(client.connectTcp(sim.port(QStringLiteral("load"))));
        client.write("TCONFIG OCP\nOCP:START 1\nOCP:STEP 0.1\nOCP:STOP 10\nVTH 0.6\nIH 10\nIL 3\nNGENABLE ON\n"
                     "START\nTESTING?\n");
        QVERIFY(client.waitForReplies(1));
        QCOMPARE(client.replies().last(), QByteArray("1"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                const qsizetype asked = client.replies().size();
                client.write("TESTING?\n");
                client.waitForReplies(static_cast<int>(asked) + 1);
                return client.replies().last() == "0";
            },
            60000));
        const int before = static_cast<int>(client.replies().size());
        client.write("OCP?\nNG?\n");
        QVERIFY(client.waitForReplies(before + 2));
        QCOMPARE(client.replies().mid(before), (QList<QByteArray>{"5.100", "0"}));
    }

    void batteryDischargeEndsAtItsVoltageLimit()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("load"));
        SimProcess sim({"--pty", link, "--speed", "20000"});
        QVERIFY(sim.waitForAnnouncements(1));
        SimClient client;
        QVERIFY(client.openTerminal(link));
        client.write("BATT:CURR 2\r\nBATT:UVP 11\r\nBATT:TIME 0\r\nBATT:AH 0\r\nBATT:TEST ON\r\n");
        QVERIFY(QTest::qWaitFor(
            [&] {
                const qsizetype asked = client.replies().size();
                client.write("TESTING?\r\n");
                client.waitForReplies(static_cast<int>(asked) + 1);
                return client.replies().last() == "0";
            },
            60000));
        const int before = static_cast<int>(client.replies().size());
        client.write("BATT:RAH?\r\n");
        QVERIFY(client.waitForReplies(before + 1));
        // 2 Ah from 12.6 V to 10 V; 11 V under 2 A is 11.1 V open, reached after 1.154 Ah.
        const double ah = client.replies().last().toDouble();
        QVERIFY2(std::abs(ah - 1.1538) < 0.005, client.replies().last().constData());
    }

    void generatorAnswersItsIdentity()
    {
        SimProcess sim({"--tcp", "0", "--gen-tcp", "0", "--gen-idn", "Acme,AFG-9,17,2.1"});
        QVERIFY(sim.waitForAnnouncements(2));
        QVERIFY(sim.announcements().at(1).startsWith(QStringLiteral("generator tcp 127.0.0.1:")));
        SimClient client;
        QVERIFY(client.connectTcp(sim.port(QStringLiteral("generator"))));
        client.write("REM\r\nSOUR1:APPL:SIN 100,5,2.5\r\nOUTP ON\r\n*idn?\r\n");
        QVERIFY(client.waitForReplies(1));
        QCOMPARE(client.arrivals().join(), QByteArray("Acme,AFG-9,17,2.1\r\n"));
    }

    void fault_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("queries");
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<int>("minFirstMs");
        QTest::addColumn<int>("firstPieces"); // how many pieces the first reply comes in; 0: not checked
        QTest::addColumn<bool>("dropped");
        // The reply to one more "name?" once those are in; empty where the connection answers no more.
        QTest::addColumn<QByteArray>("nextReply");

        const QByteArray garbage("#~%GARBLED%~#");
        QTest::newRow("silent after 2") << QStringList{"silent-after=2"} << 3 << QList<QByteArray>{"6312C", "6312C"}
                                        << 0 << 0 << false << QByteArray();
        QTest::newRow("delay") << QStringList{"delay=300"} << 1 << QList<QByteArray>{"6312C"} << 290 << 1 << false
                               << QByteArray("6312C");
        QTest::newRow("split") << QStringList{"split=3"} << 1 << QList<QByteArray>{"6312C"} << 35 << 3 << false
                               << QByteArray("6312C");
        QTest::newRow("garbage every 2") << QStringList{"garbage-every=2"} << 4
                                         << QList<QByteArray>{"6312C", garbage, "6312C", garbage} << 0 << 0 << false
                                         << QByteArray("6312C");
        QTest::newRow("drop after 2") << QStringList{"drop-after=2"} << 3 << QList<QByteArray>{"6312C", "6312C"} << 0
                                      << 0 << true << QByteArray();
        QTest::newRow("several at once") << QStringList{"delay=100,split=2", "garbage-every=1"} << 1
                                         << QList<QByteArray>{garbage} << 110 << 2 << false << garbage;
    }

    void fault()
    {
        QFETCH(QStringList, faults);
        QFETCH(int, queries);
        QFETCH(QList<QByteArray>, replies);
        QFETCH(int, minFirstMs);
        QFETCH(int, firstPieces);
        QFETCH(bool, dropped);
        QFETCH(QByteArray, nextReply);
        QStringList arguments{"--tcp", "0"};
        for (const QString &f : faults)
            arguments << QStringLiteral("--fault") << f;
        SimProcess sim(arguments);
        QVERIFY(sim.waitForAnnouncements(1));

        SimClient client;
        QVERIFY(client.connectTcp(sim.port(QStringLiteral("load"))));
        QElapsedTimer clock;
        clock.start();
        client.write(QByteArray("name?\r\n").repeated(queries));
        QVERIFY(client.waitForReplies(1));
        const qint64 firstMs = clock.elapsed();
        QVERIFY2(firstMs >= minFirstMs, qPrintable(QString::number(firstMs)));
        // Pieces sent apart arrive apart, unless this process was too busy to read in between.
        if (firstPieces > 0) {
            QVERIFY(client.arrivals().size() <= firstPieces);
            QVERIFY(client.arrivals().size() >= std::min(2, firstPieces));
        }
        client.waitForReplies(static_cast<int>(replies.size()));
        // A dropped connection brings nothing after its close.
        if (dropped)
            QTRY_VERIFY_WITH_TIMEOUT(client.disconnected(), 30000);
        // Nothing more may come: the replies go in the order of the questions, so one more question
        // is answered next.
        if (!nextReply.isEmpty()) {
            client.write("name?\r\n");
            QVERIFY(client.waitForReplies(static_cast<int>(replies.size()) + 1));
            QCOMPARE(client.replies().last(), nextReply);
        }
        QCOMPARE(client.replies().mid(0, replies.size()), replies);
        QCOMPARE(client.replies().size(), replies.size() + (nextReply.isEmpty() ? 0 : 1));
        QCOMPARE(client.disconnected(), dropped);

        // The faults count per connection: a new client starts afresh.
        SimClient next;
        QVERIFY(next.connectTcp(sim.port(QStringLiteral("load"))));
        next.write("name?\n");
        QVERIFY(next.waitForReplies(1));
        QCOMPARE(next.replies().first(), replies.first());
    }

    void droppedTerminalComesBackBehindTheSameLink()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("load"));
        SimProcess sim({"--pty", link, "--fault", "drop-after=1"});
        QVERIFY(sim.waitForAnnouncements(1));
        const QString before = QFileInfo(link).symLinkTarget();
        SimClient client;
        QVERIFY(client.openTerminal(link));
        client.write("name?\n");
        QVERIFY(client.waitForReplies(1));
        QVERIFY(sim.waitForAnnouncements(2));
        const QString after = QFileInfo(link).symLinkTarget();
        QVERIFY(after != before);
        QCOMPARE(sim.announcements().at(1), QStringLiteral("load pty %1 -> %2").arg(link, after));
        client.close();
        QVERIFY(client.openTerminal(link));
        client.write("name?\n");
        QVERIFY(client.waitForReplies(1));
        QCOMPARE(client.replies(), QList<QByteArray>{"6312C"});
    }

    void terminationRemovesTheLink()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("load"));
        SimProcess sim({"--pty", link, "--tcp", "0"});
        QVERIFY(sim.waitForAnnouncements(2));
        QVERIFY(QFileInfo(link).isSymLink());
        sim.process().terminate();
        QVERIFY(QTest::qWaitFor([&] { return sim.process().state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.process().exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void badArgumentsAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing to serve") << QStringList{};
        QTest::newRow("unknown fault") << QStringList{"--tcp", "0", "--fault", "explode=1"};
        QTest::newRow("fault without count") << QStringList{"--tcp", "0", "--fault", "delay"};
        QTest::newRow("unknown source") << QStringList{"--tcp", "0", "--source", "nuclear"};
        QTest::newRow("port out of range") << QStringList{"--tcp", "70000"};
        QTest::newRow("zero speed") << QStringList{"--tcp", "0", "--speed", "0"};
        QTest::newRow("bad capacity") << QStringList{"--tcp", "0", "--capacity", "lots"};
        QTest::newRow("unknown option") << QStringList{"--tcp", "0", "--turbo"};
        QTest::newRow("stray argument") << QStringList{"--tcp", "0", "load"};
        // A file that is not a link is never replaced by the terminal's link.
        QTest::newRow("pty path is a file") << QStringList{"--pty", QCoreApplication::applicationFilePath()};
    }

    void badArgumentsAreRefused()
    {
        QFETCH(QStringList, arguments);
        SimProcess sim(arguments);
        QVERIFY(QTest::qWaitFor([&] { return sim.process().state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(sim.process().exitCode(), 2);
        QVERIFY(sim.announcements().isEmpty());
        QVERIFY(sim.process().readAllStandardError().startsWith("vornic-sim: "));
    }
};

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_simprocess.moc"
