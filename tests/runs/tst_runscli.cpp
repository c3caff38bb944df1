#include "OutputTarget.h"
#include "ProcessEnd.h"
#include "SecretSettings.h"
#include "StoreFixture.h"
#include "TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Failed = QStringLiteral("0bad0001-0000-4000-8000-000000000000");
const QString Passed = QStringLiteral("0bad0002-0000-4000-8000-000000000000");
const QString Open = QStringLiteral("7e570003-0000-4000-8000-000000000000");
const QString Unconfirmed = QStringLiteral("10ad0001-0000-4000-8000-000000000000");
const QString ConfirmedLate = QStringLiteral("10ad0002-0000-4000-8000-000000000000");
const QString Incomplete = QStringLiteral("10ad0003-0000-4000-8000-000000000000");

QStringList storeRows()
{
    return {
        StoreFixture::run(Failed, QStringLiteral("2026-03-04T10:00:00.000"), QStringLiteral("FAIL")),
        StoreFixture::run(Passed, QStringLiteral("2026-03-05T11:00:00.000"), QStringLiteral("PASS"),
            QStringLiteral("/lab/programs/pack.TSF"), QStringLiteral("6314C"), QStringLiteral("Bench 2")),
        StoreFixture::run(Open, QStringLiteral("2026-03-06T12:00:00.000"), QString()),
        QStringLiteral("INSERT INTO steps VALUES ('%1', 1, 'Discharge', '2026-03-04T10:00:00.100', 0.3, 'time', "
                       "'FAIL', '11.9V', 0.0002, 0.0025, 12.4, 2)")
            .arg(Failed),
        StoreFixture::samples(Failed, 1, 3, 1),
        // Its load not confirmed off at its end, and never since.
        StoreFixture::run(Unconfirmed, QStringLiteral("2026-03-07T09:00:00.000"), QStringLiteral("PASS")),
        QStringLiteral("UPDATE runs SET load_off = 'UNCONFIRMED', load_off_address = '127.0.0.1:5025', load_off_since "
                       "= '2026-03-07T09:30:00.000' WHERE uuid = '%1'")
            .arg(Unconfirmed),
        // Not confirmed off at its end; a later try found the load off.
        StoreFixture::run(ConfirmedLate, QStringLiteral("2026-03-08T09:00:00.000"), QStringLiteral("FAIL")),
        QStringLiteral("UPDATE runs SET load_off = 'CONFIRMED', load_off_address = '127.0.0.1:5025', load_off_since = "
                       "'2026-03-08T09:30:00.000', load_off_confirmed_at = '2026-03-08T09:41:02.000', load_off_amps = "
                       "0.002 WHERE uuid = '%1'")
            .arg(ConfirmedLate),
        // Its store could take 19 of its 60 samples.
        StoreFixture::run(Incomplete, QStringLiteral("2026-03-09T09:00:00.000"), QStringLiteral("PASS")),
        QStringLiteral("UPDATE runs SET sample_count = 60, log_path = '/bench/TestLog/TEMPLOG.CSV', load_off = "
                       "'CONFIRMED', load_off_since = NULL, load_off_confirmed_at = '2026-03-09T10:00:00.000', "
                       "load_off_amps = 0 WHERE uuid = '%1'")
            .arg(Incomplete),
        StoreFixture::samples(Incomplete, 1, 19, 1),
    };
}

} // namespace

class TestRunsCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        StoreFixture::write(m_dir.filePath(QStringLiteral("runs.sqlite")), storeRows());
        TestFiles::writeBytes(m_dir.filePath(QStringLiteral("VORN.INI")), "[System]\r\nMeasureTime=100\r\n");
        const QByteArray header = "No.,StepTime,V,I,W,AH,WH,TotalTime,Function Name,Result";
        TestFiles::writeBytes(m_dir.filePath(QStringLiteral("good.CSV")),
            TestFiles::crlfLines({header, "1\t00:00:01\t12.5\t2\t25\t0.0005\t0.007\t2026/03/10 10:00:01\tDischarge\t",
                "2\t00:00:02\t12.4\t2\t24.8\t0.0011\t0.014\t2026/03/10 10:00:02\tDischarge\t"}));
        TestFiles::writeBytes(m_dir.filePath(QStringLiteral("bad.CSV")),
            TestFiles::crlfLines({header, "1\t00:00:01\t12.5\t2\t25\t0.0005\t0.007\t2026/03/10 10:00:01\tDischarge\t",
                "2\t00:00:02\t12.4\t2\t24.8\t0.0011\t2026/03/10 10:00:02\tDischarge\t"}));
    }

    // "%D" stands for the folder of the settings and the store.
    void command_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        // Matched against standard output, or standard error when the command fails.
        QTest::addColumn<QString>("said");
        // A file the command writes, and how it begins.
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("fileStart");
        const QStringList settings{QStringLiteral("--settings"), QStringLiteral("%D/VORN.INI")};
        const auto row = [&](const char *name, const QStringList &words, int exitCode, const QString &said,
                             const QString &file = {}, const QByteArray &fileStart = {}) {
            QTest::newRow(name) << settings + words << exitCode << said << file << fileStart;
        };
        // A run whose store lacks samples says how many; a load not confirmed off is said until a
        // later try finds it off, and then when.
        row("list: newest first", {"list"}, 0,
            "^STARTED +UUID +STATION +PROGRAM +MODEL +RESULT +SAMPLES\\n"
            "2026-03-09 09:00:00  10ad0003  Bench 1  cell\\.TSF  6312C  PASS, INCOMPLETE \\(41 samples missing\\) "
            "+19\\n"
            "2026-03-08 09:00:00  10ad0002  Bench 1  cell\\.TSF  6312C  FAIL, load confirmed off 2026-03-08 09:41:02 "
            "+0\\n"
            "2026-03-07 09:00:00  10ad0001  Bench 1  cell\\.TSF  6312C  PASS, load not confirmed off +0\\n"
            "2026-03-06 12:00:00  7e570003  Bench 1  cell\\.TSF  6312C  UNFINISHED +0\\n"
            "2026-03-05 11:00:00  0bad0002  Bench 2  pack\\.TSF  6314C  PASS +0\\n"
            "2026-03-04 10:00:00  0bad0001  Bench 1  cell\\.TSF  6312C  FAIL +3\\n$");
        row("show: load not confirmed off", {"show", "10ad0001"}, 0,
            "\\nResult: +PASS\\nLoad off: load not confirmed off since 2026-03-07 09:30:00 "
            "\\(127\\.0\\.0\\.1:5025\\)\\n"
            "Samples:  0\\nRun: ");
        row("show: confirmed off later", {"show", "10ad0002"}, 0,
            "\\nLoad off: confirmed off 2026-03-08 09:41:02, 0\\.002 A; load not confirmed off from 2026-03-08 "
            "09:30:00 \\(127\\.0\\.0\\.1:5025\\)\\nSamples:  0\\n");
        row("show: incomplete", {"show", "10ad0003"}, 0,
            "\\nLoad off: confirmed off 2026-03-09 10:00:00, 0\\.000 A\\nSamples:  19 of 60: INCOMPLETE \\(41 "
            "samples missing\\); the CSV log has them: vornic-runs import /bench/TestLog/TEMPLOG\\.CSV\\n"
            "Log: +/bench/TestLog/TEMPLOG\\.CSV\\nRun: +10ad0003-");
        row("import: no log", {"import"}, 2, "^vornic-runs: import takes one log file");
        row("import: into the server", {"--server", "import", "%D/x.CSV"}, 2,
            "^vornic-runs: import puts a log into a bench's store, which forwards it: leave out --server");
        row("import: no such log", {"--store", "%D/imported.sqlite", "import", "%D/none.CSV"}, 1,
            "^vornic-runs: [^\\n]*/none\\.CSV: ");
        row("import: not a log", {"--store", "%D/imported.sqlite", "import", "%D/VORN.INI"}, 1,
            "^vornic-runs: [^\\n]*/VORN\\.INI:1: not a run's log: its first line is not \"No\\.,StepTime,");
        row("import: a row that is none", {"--store", "%D/imported.sqlite", "import", "%D/bad.CSV"}, 1,
            "^vornic-runs: [^\\n]*/bad\\.CSV:3: 9 fields separated by \"\\t\" where a row has 10\\n$");
        row("import: a log of no run", {"--store", "%D/imported.sqlite", "import", "%D/good.CSV"}, 0,
            "^run [0-9a-f-]{36} made from [^\\n]*/good\\.CSV in [^\\n]*/imported\\.sqlite: 2 samples\\n$");
        row("help: import", {"--help"}, 0, "\\n  import LOG\\.CSV \\[--program FILE\\]\\n");
        row("list: by result", {"list", "--result", "fail"}, 0, "\\n2026-03-04 [^\\n]*FAIL +3\\n$");
        row("list: unfinished", {"list", "--result", "UNFINISHED"}, 0, "\\n[^\\n]*7e570003[^\\n]*\\n$");
        row("list: by program and station", {"list", "--program", "CELL", "--station", "bench 1"}, 0,
            "SAMPLES\\n([^\\n]*10ad000[^\\n]*\\n){3}[^\\n]*7e570003[^\\n]*\\n[^\\n]*0bad0001[^\\n]*\\n$");
        row("list: by model", {"list", "--model", "6314"}, 0, "SAMPLES\\n[^\\n]*0bad0002[^\\n]*\\n$");
        row("list: one day", {"list", "--from", "2026-03-05", "--to", "2026-03-05"}, 0,
            "SAMPLES\\n[^\\n]*0bad0002[^\\n]*\\n$");
        row("list: nothing matches", {"list", "--station", "Bench 9"}, 0, "SAMPLES\\n$");
        row("list: no such result", {"list", "--result", "MAYBE"}, 2, "^vornic-runs: --result is one of PASS\\|");
        row("list: not a day", {"list", "--from", "03/05/2026"}, 2, "^vornic-runs: --from needs a day");
        row("list: unknown option", {"list", "--colour"}, 2, "^vornic-runs: unknown option --colour");
        row("show: by prefix", {"show", "0BAD0001"}, 0,
            "^Program: [\\s\\S]*Result: +FAIL\\n[\\s\\S]*Run: +0bad0001-0000-4000-8000-000000000000\\n\\n[\\s\\S]*"
            "\\n +1 Discharge +10:00:00 +0\\.3 time +FAIL +11\\.9V +0\\.000200 +0\\.002500 +12\\.400 +2\\.000\\n"
            "Run total: 0\\.000200 Ah, 0\\.002500 Wh in [0-9.]+ s\\n$");
        row("show: prefix of two runs", {"show", "0bad"}, 1, "^vornic-runs: \"0bad\" names more than one run");
        row("show: no such run", {"show", "abc"}, 1, "^vornic-runs: no run abc in ");
        row("show: two runs asked", {"show", "0bad0001", "7e57"}, 2, "^vornic-runs: show takes one run's UUID");
        row("export: csv to standard output", {"export", "0bad0001", "--csv", "-"}, 0,
            "^No\\.,TotalTime\\(s\\),Step,Function,V,I,W,AH,WH\\r\\n1,0\\.100,1,Discharge,[^\\n]*\\n2,[^\\n]*\\n3,"
            "[^\\n]*\\r\\n$");
        row("export: json to standard output", {"export", "7e57", "--json", "-"}, 0,
            "\"uuid\": \"7e570003-[^\\n]*\",\\n    \"samples\": \\[\\]\\n}\\n$");
        row("export: csv file", {"export", "0bad0001", "--csv", "%D/run.csv"}, 0, "^$", "run.csv",
            "No.,TotalTime(s),Step,Function,V,I,W,AH,WH\r\n1,0.100,1,Discharge,");
        row("export: json file", {"export", "0bad0002", "--json", "%D/run.json"}, 0, "^$", "run.json", "{\n");
        row("export: csv and json at once", {"export", "0bad0001", "--csv", "a", "--json", "b"}, 2,
            "^vornic-runs: export takes one run's UUID and one of");
        row("export: folder missing", {"export", "0bad0001", "--csv", "%D/no/run.csv"}, 1,
            "^vornic-runs: [^\\n]*/no/run\\.csv: ");
        row("report", {"report", "0bad0001", "%D/run.pdf"}, 0, "^$", "run.pdf", "%PDF-");
        row("report to standard output", {"report", "0bad0001", "-"}, 0, "^%PDF-");
        row("report: folder missing", {"report", "0bad0001", "%D/no/run.pdf"}, 1,
            "^vornic-runs: [^\\n]*/no/run\\.pdf: ");
        row("unknown command", {"frob"}, 2, "^vornic-runs: unknown command \"frob\"");
        row("no command", {}, 2, "^vornic-runs: no command given");
        row("store given", {"--store", "%D/runs.sqlite", "list", "--result", "PASS"}, 0, "\\n[^\\n]*0bad0002");
        row("store missing", {"--store", "%D/none.sqlite", "list"}, 1,
            "^vornic-runs: [^\\n]*none\\.sqlite: no run has been stored here yet");
        row("server not in the settings", {"--server", "list"}, 1, "names no server");
        row("store and server at once", {"--server", "--store", "x", "list"}, 2, "^vornic-runs: give --store or");
        // No record of the server in a store yet: every run waits, none refused.
        row("list: waiting", {"--store", "%D/runs.sqlite", "list", "--waiting"}, 0,
            "WAITING\\n(.*\\n)*[^\\n]*0bad0002[^\\n]*not sent yet\\n");
        row("list: waiting, from the server", {"--server", "list", "--waiting"}, 2,
            "^vornic-runs: list --waiting reads what a bench knows");
        row("list: waiting twice", {"list", "--waiting", "--waiting"}, 2, "^vornic-runs: --waiting given twice");
        row("help", {"--help"}, 0, "^usage: vornic-runs ");
        row("help: compare", {"--help"}, 0,
            "\\n  compare RUN\\.\\.\\. \\[--by time\\|ah\\] \\[--align-step N\\] \\[--nominal AH \\[--threshold "
            "PCT\\]\\] "
            "\\[--server\\]\\n\\s+\\[--quantity v\\|i\\|w\\] \\[--csv FILE\\] \\[--png FILE\\] \\[--pdf FILE\\]\\n");
        row("help: waiting runs", {"--help"}, 0, "\\[--waiting\\]\\n[^\\n]*newest first; with --waiting");
        row("version", {"--version"}, 0, "^vornic-runs \\d+\\.\\d+");
    }
    void command()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QFETCH(QString, file);
        QFETCH(QByteArray, fileStart);
        arguments.replaceInStrings(QStringLiteral("%D"), m_dir.path());
        QProcess process;
        process.start(TestFiles::binary("vornic-runs"), arguments);
        QVERIFY(waitForEnd(process));
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        // Qt's own warnings (a missing XDG_RUNTIME_DIR, say) are not the program's words.
        QStringList errorLines = QString::fromUtf8(process.readAllStandardError()).split(u'\n');
        errorLines.removeIf([](const QString &line) { return line.startsWith(QLatin1String("QStandardPaths:")); });
        const QString err = errorLines.join(u'\n');
        QVERIFY2(process.exitCode() == exitCode, qPrintable(out + err));
        const QString &text = exitCode == 0 ? out : err;
        QVERIFY2(QRegularExpression(said).match(text).hasMatch(), qPrintable(text));
        if (!file.isEmpty())
            QVERIFY(TestFiles::readBytes(m_dir.filePath(file)).startsWith(fileStart));
    }

    // vornic-runs installed, without --settings, reads the folder the window and vornic-run keep
    // their files in: "vornic" in XDG_DATA_HOME. Where that is not there yet, the folder an earlier
    // version of the window, or else of vornic-run, kept is moved to it, and that is said once.
    // Each folder named in "stores" holds VORN.INI and runs.sqlite, each in "settingsOnly" VORN.INI.
    void installedProgramsShareOneFolder_data()
    {
        QTest::addColumn<QStringList>("stores");
        QTest::addColumn<QStringList>("settingsOnly");
        QTest::addColumn<int>("exitCode");
        // Said on standard error by the first command only; empty: nothing moved.
        QTest::addColumn<QString>("note");
        QTest::addColumn<QStringList>("after");
        const QString moved = QStringLiteral("^vornic-runs: the settings and runs of %D/%1 are now in %D/vornic, the "
                                             "folder all Vornic programs share");
        QTest::newRow("the shared folder")
            << QStringList{"vornic"} << QStringList{} << 0 << QString() << QStringList{"vornic"};
        QTest::newRow("the window's earlier folder") << QStringList{"vornic-dcload"} << QStringList{} << 0
                                                     << moved.arg("vornic-dcload") + "\\n$" << QStringList{"vornic"};
        QTest::newRow("vornic-run's earlier folder") << QStringList{"vornic-run"} << QStringList{} << 0
                                                     << moved.arg("vornic-run") + "\\n$" << QStringList{"vornic"};
        QTest::newRow("both earlier folders: the window's moves") << QStringList{"vornic-dcload", "vornic-run"}
                                                                  << QStringList{} << 0
                                                                  << moved.arg("vornic-dcload")
                + "; %D/vornic-run stays where it is \\(vornic-runs --settings %D/vornic-run/VORN\\.INI reads its "
                  "runs\\)\\n$" << QStringList{"vornic", "vornic-run"};
        QTest::newRow("an earlier folder with settings only")
            << QStringList{} << QStringList{"vornic-run"} << 1 << moved.arg("vornic-run") << QStringList{"vornic"};
        QTest::newRow("the shared folder there already") << QStringList{"vornic-dcload"} << QStringList{"vornic"} << 1
                                                         << QString() << QStringList{"vornic", "vornic-dcload"};
        QTest::newRow("nothing yet") << QStringList{} << QStringList{} << 1 << QString() << QStringList{"vornic"};
    }
    void installedProgramsShareOneFolder()
    {
        QFETCH(QStringList, stores);
        QFETCH(QStringList, settingsOnly);
        QFETCH(int, exitCode);
        QFETCH(QString, note);
        QFETCH(QStringList, after);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("usr/bin"))
            && QDir(root.path()).mkpath(QStringLiteral("usr/share/vornic")));
        const QString program = root.filePath(QStringLiteral("usr/bin/vornic-runs"));
        QVERIFY(QFile::copy(TestFiles::binary("vornic-runs"), program));
        const QDir dataHome(root.filePath(QStringLiteral("data")));
        for (const QString &folder : stores + settingsOnly) {
            QVERIFY(dataHome.mkpath(folder));
            TestFiles::writeBytes(
                dataHome.filePath(folder + QStringLiteral("/VORN.INI")), "[System]\r\nMeasureTime=100\r\n");
        }
        for (const QString &folder : stores)
            QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("runs.sqlite")),
                dataHome.filePath(folder + QStringLiteral("/runs.sqlite"))));
        note.replace(QStringLiteral("%D"), QRegularExpression::escape(dataHome.path()));

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
        process.setProcessEnvironment(environment);
        for (const bool first : {true, false}) {
            process.start(program, {QStringLiteral("list"), QStringLiteral("--result"), QStringLiteral("PASS")});
            QVERIFY(waitForEnd(process));
            const QString out = QString::fromUtf8(process.readAllStandardOutput());
            const QString err = QString::fromUtf8(process.readAllStandardError());
            QVERIFY2(process.exitCode() == exitCode, qPrintable(out + err));
            if (exitCode == 0)
                QVERIFY2(out.contains(QStringLiteral("0bad0002")), qPrintable(out));
            else
                QVERIFY2(err.contains(dataHome.filePath(QStringLiteral("vornic/runs.sqlite: no run has been stored"))),
                    qPrintable(err));
            if (first && !note.isEmpty())
                QVERIFY2(QRegularExpression(note, QRegularExpression::MultilineOption).match(err).hasMatch(),
                    qPrintable(err));
            else
                QVERIFY2(!err.contains(QStringLiteral("are now in")), qPrintable(err));
        }
        QCOMPARE(dataHome.entryList(QDir::Dirs | QDir::NoDotAndDotDot), after);
    }

    // The [Store] section's Port: one that is no port number is named, never taken for 5432. The
    // server is one nobody runs, so a port that is used shows in the reason it cannot be reached.
    void storePort_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("said");
        const QString wrong
            = QStringLiteral("^vornic-runs: [^\\n]*/port\\.INI: \\[Store\\] Port=%1 is not a port number");
        const QString used = QStringLiteral("^vornic-runs: [^\\n]*nobody@127\\.0\\.0\\.1:%1/nowhere");
        QTest::newRow("0") << "0"
                           << "list" << wrong.arg("0");
        QTest::newRow("99999") << "99999"
                               << "list" << wrong.arg("99999");
        QTest::newRow("letters") << "abc"
                                 << "list" << wrong.arg("abc");
        QTest::newRow("negative") << "-5"
                                  << "list" << wrong.arg("-5");
        QTest::newRow("forward: negative") << "-5"
                                           << "forward" << wrong.arg("-5");
        QTest::newRow("empty: the default") << ""
                                            << "list" << used.arg("5432");
        QTest::newRow("5433") << "5433"
                              << "list" << used.arg("5433");
        QTest::newRow("forward: 5433") << "5433"
                                       << "forward" << used.arg("5433");
    }
    void storePort()
    {
        QFETCH(QString, port);
        QFETCH(QString, command);
        QFETCH(QString, said);
        const QString ini = m_dir.filePath(QStringLiteral("port.INI"));
        TestFiles::writeBytes(ini,
            TestFiles::crlfLines(
                {"[Store]", "Host=127.0.0.1", "Port=" + port.toLatin1(), "User=nobody", "Database=nowhere"}));
        QStringList arguments{QStringLiteral("--settings"), ini};
        if (command == u"list")
            arguments.append(QStringLiteral("--server"));
        QProcess process;
        process.start(TestFiles::binary("vornic-runs"), arguments << command);
        QVERIFY(waitForEnd(process));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(process.exitCode() == 1, qPrintable(err));
        QVERIFY2(QRegularExpression(said, QRegularExpression::MultilineOption).match(err).hasMatch(), qPrintable(err));
    }

    // A value of the [Store] section that would reach libpq as another option, or a password in the
    // file, is named and the server is not used; a sound SslMode goes on to the server, which here
    // is one nobody runs.
    void storeConnectionValue_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("said");
        const QString refused = QStringLiteral("^vornic-runs: [^\\n]*/option\\.INI: \\[Store\\] %1[^\\n]*; the lab "
                                               "server is not used$");
        QTest::newRow("SslMode with another option")
            << QByteArray("SslMode=disable dbname=postgres")
            << refused.arg("SslMode=disable dbname=postgres is not one of disable, allow, prefer, require");
        QTest::newRow("Database with another option")
            << QByteArray("Database=nowhere dbname=postgres") << refused.arg("Database=nowhere dbname=postgres holds");
        QTest::newRow("User with a NUL") << QByteArray("User=nobody") + QByteArray(1, '\0') + "x"
                                         << refused.arg("User holds a control character \\(U\\+0000\\)");
        QTest::newRow("Password") << QByteArray("Password=hunter2")
                                  << refused.arg("Password is not read from the settings file: [^\\n]*~/\\.pgpass");
        QTest::newRow("Station with a NUL: said, and the server is tried")
            << QByteArray("Station=B") + QByteArray(1, '\0') + "x"
            << QStringLiteral("^vornic-runs: [^\\n]*\\[Store\\] Station holds a control character[^\\n]*\\n"
                              "vornic-runs: [^\\n]*nobody@127\\.0\\.0\\.1:5432/nowhere");
        QTest::newRow("SslMode disable: the server is tried") << QByteArray(
            "SslMode=disable") << QStringLiteral("^vornic-runs: [^\\n]*nobody@127\\.0\\.0\\.1:5432/nowhere");
    }
    void storeConnectionValue()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, said);
        const QString ini = m_dir.filePath(QStringLiteral("option.INI"));
        // The line goes ahead of the defaults: the first of a key counts.
        TestFiles::writeBytes(
            ini, TestFiles::crlfLines({"[Store]", "Host=127.0.0.1", line, "User=nobody", "Database=nowhere"}));
        QProcess process;
        process.start(TestFiles::binary("vornic-runs"),
            {QStringLiteral("--settings"), ini, QStringLiteral("--server"), QStringLiteral("list")});
        QVERIFY(waitForEnd(process));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(process.exitCode() == 1, qPrintable(err));
        QVERIFY2(QRegularExpression(said, QRegularExpression::MultilineOption).match(err).hasMatch(), qPrintable(err));
    }

    // A run stored before secrets were blanked at the source still holds them; what vornic-runs
    // shows or writes of it does not.
    void secretsLeaveNoStoredRun_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("show") << QStringList{"show", "5ec0"};
        QTest::newRow("export json") << QStringList{"export", "5ec0", "--json", "-"};
        QTest::newRow("export csv") << QStringList{"export", "5ec0", "--csv", "-"};
    }
    void secretsLeaveNoStoredRun()
    {
        QFETCH(QStringList, arguments);
        const QString uuid = QStringLiteral("5ec00001-0000-4000-8000-000000000000");
        const QString store = m_dir.filePath(QStringLiteral("secrets.sqlite"));
        if (!QFileInfo::exists(store))
            StoreFixture::write(store,
                {StoreFixture::run(uuid, QStringLiteral("2026-03-04T10:00:00.000"), QStringLiteral("PASS")),
                    QStringLiteral("UPDATE runs SET settings_text = '%1'").arg(SecretSettings::Text)});
        QProcess process;
        process.start(TestFiles::binary("vornic-runs"), QStringList{QStringLiteral("--store"), store} + arguments);
        QVERIFY(waitForEnd(process));
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        QVERIFY2(process.exitCode() == 0, qPrintable(out + process.readAllStandardError()));
        QVERIFY2(!out.contains(SecretSettings::Secret), qPrintable(out));
        // The rest of the text stays as it was: the comments, the look-alikes, every line end.
        const QByteArray blanked
            = QJsonDocument(QJsonArray{SecretSettings::Blanked}).toJson(QJsonDocument::Compact).chopped(1).mid(1);
        if (arguments.contains(u"--json"))
            QVERIFY2(out.toUtf8().contains("\"settings\": " + blanked), qPrintable(out));
    }

    // "%T" stands for the FIFO or the device node. Each is written as it is and stays what it was:
    // a file renamed over it would take its place, and for root that includes /dev/null.
    void writesIntoWhatIsNoFile_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("start");
        const QStringList settings{QStringLiteral("--settings"), QStringLiteral("%D/VORN.INI")};
        const auto row
            = [&](const char *name, const QStringList &words, OutputTarget::Kind kind, const QByteArray &start) {
                  QTest::newRow(name) << settings + words << int(kind) << start;
              };
        row("export csv to a FIFO", {"export", "0bad0001", "--csv", "%T"}, OutputTarget::Fifo,
            "No.,TotalTime(s),Step,Function,V,I,W,AH,WH\r\n1,0.100,1,Discharge,");
        row("export json to a FIFO", {"export", "0bad0002", "--json", "%T"}, OutputTarget::Fifo, "{\n");
        row("report to a FIFO", {"report", "0bad0001", "%T"}, OutputTarget::Fifo, "%PDF-");
        row("export csv to the null device", {"export", "0bad0001", "--csv", "%T"}, OutputTarget::NullDevice, "");
        row("report to the null device", {"report", "0bad0001", "%T"}, OutputTarget::NullDevice, "");
    }
    void writesIntoWhatIsNoFile()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, kind);
        QFETCH(QByteArray, start);
        QTemporaryDir dir;
        OutputTarget target(OutputTarget::Kind(kind), QDir(dir.path()));
        if (target.path().isEmpty())
            QSKIP("no device node can be made here");
        arguments.replaceInStrings(QStringLiteral("%D"), m_dir.path());
        arguments.replaceInStrings(QStringLiteral("%T"), target.path());
        QProcess process;
        process.start(TestFiles::binary("vornic-runs"), arguments);
        QTRY_VERIFY_WITH_TIMEOUT(target.drain() && process.state() == QProcess::NotRunning, 60000);
        target.drain();
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        QVERIFY(target.isAsMade());
        QVERIFY2(target.bytes().startsWith(start), target.bytes().left(200).constData());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestRunsCli)
#include "tst_runscli.moc"
