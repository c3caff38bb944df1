#include "PtyPeer.h"
#include "TcpPeer.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// vornic-run --query as the lab's scripts use it: the settings file chooses the link.
class TestRunQuery : public QObject
{
    Q_OBJECT

    struct Outcome
    {
        int exitCode = -1;
        QByteArray out;
        QByteArray err;
    };

    Outcome run(const QStringList &arguments)
    {
        QProcess process;
        process.setProgram(qEnvironmentVariable("VORNIC_BIN_DIR") + QStringLiteral("/vornic-run"));
        process.setArguments(arguments);
        QSignalSpy finished(&process, &QProcess::finished);
        process.start();
        if (!process.waitForStarted(30000))
            return {};
        // The instruments live in this process, so wait with the event loop running.
        if (!finished.wait(60000))
            return {};
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

    QString writeSettings(const QByteArray &loadOption)
    {
        const QString path = m_dir.filePath(QStringLiteral("VORN.INI"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.write("[Load Option]\r\n" + loadOption);
        return path;
    }

    QTemporaryDir m_dir;

private Q_SLOTS:
    void printsTheModelOverLan()
    {
        TcpPeer peer;
        peer.answer("name?", {"63206A-150-60\r\n"});
        const QString ini = writeSettings("ConnectMode=2\r\nLanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\nLanPort="
            + QByteArray::number(peer.port()) + "\r\n");
        const Outcome outcome
            = run({QStringLiteral("--settings"), ini, QStringLiteral("--query"), QStringLiteral("name?")});
        QCOMPARE(outcome.out, QByteArray("63206A-150-60\n"));
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(peer.received(), QByteArray("REM\r\nname?\r\n"));
    }

    void printsTheModelOverAPtyAndFailsOnSilence_data()
    {
        QTest::addColumn<QList<QByteArray>>("answer");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("answered") << QList<QByteArray>{"63206A\r\n"} << QByteArray("63206A\n") << 0;
        QTest::newRow("silent") << QList<QByteArray>{} << QByteArray("ErrRec\n") << 2;
    }
    void printsTheModelOverAPtyAndFailsOnSilence()
    {
        QFETCH(QList<QByteArray>, answer);
        QFETCH(QByteArray, out);
        QFETCH(int, exitCode);
        PtyPeer peer;
        peer.answer("name?", answer);
        const QString ini = writeSettings("ConnectMode=0\r\nCOMPort=" + peer.slavePath().toLocal8Bit() + "\r\n");
        const Outcome outcome
            = run({QStringLiteral("--settings"), ini, QStringLiteral("--query"), QStringLiteral("name?")});
        QCOMPARE(outcome.out, out);
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(peer.received(), QByteArray("REM\r\nname?\r\n"));
    }

    // A LAN port with letters after it is refused by name, in every mode, and nothing is reached
    // at the port its digits make, nor at the default one.
    void aPortWithLettersIsRefusedByName_data()
    {
        QTest::addColumn<QStringList>("mode");
        QTest::newRow("query") << QStringList{QStringLiteral("--query"), QStringLiteral("name?")};
        QTest::newRow("identify") << QStringList{QStringLiteral("--identify")};
        QTest::newRow("program") << QStringList{QStringLiteral("program.TSF")};
    }
    void aPortWithLettersIsRefusedByName()
    {
        QFETCH(QStringList, mode);
        TcpPeer peer;
        peer.answer("name?", {"6312C\r\n"});
        const QByteArray port = QByteArray::number(peer.port()) + "abc";
        const QString ini = writeSettings(
            "ConnectMode=2\r\nLanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\nLanPort=" + port + "\r\n");
        QFile program(m_dir.filePath(QStringLiteral("program.TSF")));
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.write("StepNo.,Function,Mode,SinkValue,VStop,TStop\r\n1,Rest,,,,1\r\n");
        program.close();
        if (mode.first() == u"program.TSF")
            mode.first() = program.fileName();
        const Outcome outcome = run(QStringList{QStringLiteral("--settings"), ini} + mode);
        QCOMPARE(outcome.exitCode, 2);
        const QByteArray said = "vornic-run: " + QFile::encodeName(ini) + ": [Load Option] LanPort=" + port
            + " is not a port number (1 to 65535): no LAN connection is made until it is set right\n";
        QVERIFY2(outcome.err.startsWith(said), outcome.err.constData());
        QCOMPARE(peer.connections(), 0);
    }

    void badArgumentsExitWithTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("query without text") << QStringList{QStringLiteral("--query")};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate")};
        QTest::newRow("two modes") << QStringList{
            QStringLiteral("--identify"), QStringLiteral("--query"), QStringLiteral("x")};
    }
    void badArgumentsExitWithTwo()
    {
        QFETCH(QStringList, arguments);
        const Outcome outcome = run(arguments);
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY(outcome.out.isEmpty());
        QVERIFY(outcome.err.contains("usage: vornic-run"));
    }
};

QTEST_GUILESS_MAIN(TestRunQuery)
#include "tst_runquery.moc"
