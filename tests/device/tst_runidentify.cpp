#include "../sim/SimProcess.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// vornic-run --identify against the built simulator: the three lines the window would show.
class TestRunIdentify : public QObject
{
    Q_OBJECT

    static QByteArray lanSection(const char *section, quint16 port)
    {
        return QByteArray("[") + section
            + "]\r\nConnectMode=2\r\nLanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\nLanPort="
            + QByteArray::number(port) + "\r\n";
    }

private Q_SLOTS:
    void identify_data()
    {
        QTest::addColumn<QStringList>("simArguments");
        QTest::addColumn<bool>("generator");
        QTest::addColumn<QByteArray>("labTable");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<int>("exitCode");
        // A serial port other than the simulator's, when set.
        QTest::addColumn<QByteArray>("comPort");

        const QByteArray allLoad
            = "Functions: Discharge, Rest, FOR, LOOP, Short, OCP, OPP, Dynamic, Normal, Battery RAMP, "
              "Battery CC+CV, Battery CP+CV, Battery Discharge CC, Battery Discharge CP, Battery Cycle "
              "Life, CV with Current Limit, CV with Power Limit, Dynamic Off, Sequence Load";
        QTest::newRow("default model") << QStringList() << false << QByteArray()
                                       << "Model: 6312C\nRated current: 60\n" + allLoad + "\n"
                                       << 0 << QByteArray();
        QTest::newRow("dash family") << QStringList{"--model", "VRN-7000Q-100-250"} << false << QByteArray()
                                     << QByteArray(
                                            "Model: VRN-7000Q-100-250\nRated current: 250\nFunctions: Discharge, "
                                            "Rest, FOR, LOOP, Short, OCP, OPP, Dynamic, Normal, Battery Discharge "
                                            "CC, Battery Discharge CP, Battery Cycle Life, Dynamic Off\n")
                                     << 0 << QByteArray();
        QTest::newRow("lab's own table") << QStringList() << false << QByteArray("75 6312C\n")
                                         << "Model: 6312C\nRated current: 75\n" + allLoad + "\n"
                                         << 0 << QByteArray();
        // The generator's LAN link reads no replies, so its model never joins the label and the
        // rated current label stays as it was.
        QTest::newRow("generator on LAN")
            << QStringList() << true << QByteArray()
            << "Model: 6312C\nRated current: \n" + allLoad + ", Sine Wave Dynamic, CC Dynamic Sweep\n"
            << 0 << QByteArray();
        // No load: nothing on standard output that a script could take for a model; the exit
        // code and the reason on stderr tell.
        QTest::newRow("silent load on serial")
            << QStringList{"--fault", "silent-after=1"} << false << QByteArray() << QByteArray() << 2 << QByteArray();
        QTest::newRow("serial port that is not there")
            << QStringList() << false << QByteArray() << QByteArray() << 2 << QByteArray("/dev/no-such-port");
        QTest::newRow("no serial port chosen")
            << QStringList() << false << QByteArray() << QByteArray() << 2 << QByteArray("0");
    }
    void identify()
    {
        QFETCH(QStringList, simArguments);
        QFETCH(bool, generator);
        QFETCH(QByteArray, labTable);
        QFETCH(QByteArray, out);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, comPort);

        QTemporaryDir dir;
        const QString pty = dir.filePath(QStringLiteral("pty"));
        SimProcess sim(
            QStringList{"--tcp", "0", "--pty", pty, "--gen-tcp", "0", "--gen-idn", "Maker,AFG1022,1,1"} + simArguments);
        QVERIFY(sim.waitForAnnouncements(3));
        // A silent load is given up after a second on serial, after ten on LAN.
        QByteArray ini = exitCode != 0
            ? "[Load Option]\r\nConnectMode=0\r\nCOMPort=" + (comPort.isEmpty() ? pty.toLocal8Bit() : comPort) + "\r\n"
            : lanSection("Load Option", sim.port(QStringLiteral("load")));
        if (generator)
            ini += lanSection("AFG Option", sim.port(QStringLiteral("generator"))) + "AFGEnable=1\r\n";
        const QString iniPath = dir.filePath(QStringLiteral("VORN.INI"));
        QFile file(iniPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
        file.close();
        if (!labTable.isEmpty()) {
            QFile table(dir.filePath(QStringLiteral("rating-table.txt")));
            QVERIFY(table.open(QIODevice::WriteOnly));
            table.write(labTable);
        }

        QProcess run;
        run.setProgram(qEnvironmentVariable("VORNIC_BIN_DIR") + QStringLiteral("/vornic-run"));
        run.setArguments({QStringLiteral("--settings"), iniPath, QStringLiteral("--identify")});
        QSignalSpy finished(&run, &QProcess::finished);
        run.start();
        // The simulator is a child of this process too, so wait with the event loop running.
        QVERIFY(finished.wait(20000));
        QCOMPARE(run.readAllStandardOutput(), out);
        QCOMPARE(run.exitCode(), exitCode);
        if (exitCode != 0) {
            const QByteArray errors = run.readAllStandardError();
            const QByteArray where = comPort.isEmpty() ? pty.toLocal8Bit()
                : comPort == "0"                       ? QByteArray("no serial port")
                                                       : comPort;
            QVERIFY2(errors.contains("did not answer \"name?\" at " + where), errors.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestRunIdentify)
#include "tst_runidentify.moc"
