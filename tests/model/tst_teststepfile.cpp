#include "model/LosslessText.h"
#include "model/TestProgram.h"
#include "model/TestStepFile.h"

#include "TestFiles.h"
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <QTest>

namespace {

const QByteArray Header = "StepNo.,Function,Mode,SinkValue,VStop,TStop,AhStop,Times,Start,Step,Stop,Vth,"
                          "Limit High,Limit Low,High,Low,T-High,T-Low,Rise,Fall,Load Off V,CV Add,Cycle Count,"
                          "Ramp CC,Ramp Time,Total Step,I_DC,I_AC,Frequence,Duty,IStop,StableTime\r\n";
const QByteArray DischargeLine = "1,Discharge,CC,1,0,10,0,,,,,,,,,,,,,,,,,,,,,,,,0,0\r\n";
const QByteArray RestLine = "2,Rest,,,,10,,,,,,,,,,,,,,,,,,,,,,,,,,\r\n";

} // namespace

class TestTestStepFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private Q_SLOTS:
    // A file of more steps than a program can hold is refused whole, blank lines or not, and the
    // program is left as it was.
    void tooManyStepsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("blank lines") << QByteArray();
        QTest::newRow("steps") << QByteArray("1,Rest,,,,5");
    }
    void tooManyStepsAreRefused()
    {
        QFETCH(QByteArray, line);
        QByteArray bytes = "header\r\n";
        for (int step = 0; step <= TestStepFile::MaxSteps; ++step)
            bytes += line + "\r\n";
        TestFiles::writeBytes(path("huge.TSF"), bytes);
        TestProgram program;
        program.setGridRowCount(3);
        program.setCell(1, 1, QStringLiteral("Rest"));
        const TestStepFile::Result result = TestStepFile::LoadTestFile(program, path("huge.TSF"));
        QVERIFY(!result.ok);
        QVERIFY2(result.message.contains(QStringLiteral("100001 steps")), qPrintable(result.message));
        QCOMPARE(program.StepCount(), 1);
        QCOMPARE(program.cell(1, 1), QStringLiteral("Rest"));
    }

    void fileLinesAndRoundTrip()
    {
        const QByteArray bytes = Header + DischargeLine + RestLine
            + "3,Battery RAMP,,0,,,,0,,,,,,,,,,,,,0,,,;1;2;0.5,;10;20;30,3,,,,,,\r\n";
        TestFiles::writeBytes(path("in.TSF"), bytes);
        TestProgram program;
        QVERIFY(TestStepFile::LoadTestFile(program, path("in.TSF")).ok);
        QCOMPARE(program.StepCount(), 3);
        QCOMPARE(program.cell(3, 23), QStringLiteral(";1;2;0.5"));
        QStringList traced;
        QVERIFY(
            TestStepFile::SaveTestFile(program, path("out.TSF"), [&](const QString &line) { traced.append(line); }).ok);
        QCOMPARE(TestFiles::readBytes(path("out.TSF")), bytes);
        QCOMPARE(traced.first(), path("out.TSF"));
        QCOMPARE(traced.at(2), QString::fromLatin1(DischargeLine.chopped(2)));
    }

    void emptyProgramWritesHeaderOnly()
    {
        TestProgram program;
        QVERIFY(TestStepFile::SaveTestFile(program, path("empty.TSF")).ok);
        QCOMPARE(TestFiles::readBytes(path("empty.TSF")), Header);
    }

    // A byte-order mark says how the file is written; the steps read the same either way.
    void byteOrderMarks_data()
    {
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<QByteArray>("mark");
        QTest::newRow("UTF-8") << QByteArray("UTF-8") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("UTF-16 LE") << QByteArray("UTF-16LE") << QByteArray("\xFF\xFE");
        QTest::newRow("UTF-16 BE") << QByteArray("UTF-16BE") << QByteArray("\xFE\xFF");
    }
    void byteOrderMarks()
    {
        QFETCH(QByteArray, encoding);
        QFETCH(QByteArray, mark);
        const QString steps = QString::fromUtf8(DischargeLine)
            + QStringLiteral("2,Rest,Entl\u00e4dung \u2265 1 \U0001F50B") + QString(29, u',') + QStringLiteral("\r\n");
        QStringEncoder encoder(encoding.constData(), QStringConverter::Flag::WriteBom);
        const QByteArray bytes = encoder.encode(QString::fromUtf8(Header) + steps);
        QVERIFY(bytes.startsWith(mark));
        TestFiles::writeBytes(path("marked.TSF"), bytes);
        TestProgram program;
        const TestStepFile::Result result = TestStepFile::LoadTestFile(program, path("marked.TSF"));
        QVERIFY2(result.ok, qPrintable(result.message));
        QCOMPARE(program.StepCount(), 2);
        QCOMPARE(program.rowCells(1).join(u',') + QStringLiteral("\r\n") + program.rowCells(2).join(u',')
                + QStringLiteral("\r\n"),
            steps);
    }

    // UTF-16 surrogates that pair with none read as U+FFFD, and a save and load keep them so.
    void loneSurrogatesInUtf16()
    {
        TestFiles::writeBytes(path("lone.TSF"),
            QByteArray("\xFF\xFEh\0\n\0"
                       "1\0,\0R\0e\0s\0t\0,\0\x00\xD8x\0\x05\xDC\n\0",
                28));
        TestProgram program;
        QVERIFY(TestStepFile::LoadTestFile(program, path("lone.TSF")).ok);
        QCOMPARE(program.cell(1, 2), QStringLiteral("\uFFFDx\uFFFD"));
        QVERIFY(TestStepFile::SaveTestFile(program, path("lone-out.TSF")).ok);
        TestProgram again;
        QVERIFY(TestStepFile::LoadTestFile(again, path("lone-out.TSF")).ok);
        QCOMPARE(again.rowCells(1), program.rowCells(1));
    }

    // A file that holds no step of a known function is refused whole, with the file named and
    // what is wrong, and the program is left as it was.
    void filesWithoutAKnownStepAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("refusal");
        const QByteArray noise = TestFiles::noise(1 << 20, 7);
        QTest::newRow("random bytes") << noise
                                      << QStringLiteral("not a test step file: none of its %1 steps names a known "
                                                        "test function")
                                             .arg(TestFiles::linesAfterTheFirst(noise));
        QByteArray huge;
        for (int k = 0; k < 2000000; ++k)
            huge += "Discharge,";
        QTest::newRow("one huge line") << huge << "the file holds no test steps, only its first line";
        QTest::newRow("header only") << Header << "the file holds no test steps, only its first line";
        QTest::newRow("empty file") << QByteArray() << "the file is empty: it holds no test steps";
        QTest::newRow("one unknown step") << Header + "1,Dischage,CC,1\r\n"
                                          << "not a test step file: its step names no known test function";
        QTest::newRow("UTF-16 without a byte-order mark") << QByteArray("S\0t\0\r\0\n\0001\0,\0R\0e\0s\0t\0\r\0\n\0",
            24) << "not a test step file: none of its 2 steps names a known test function";
        QTest::newRow("an unknown and a known step") << Header + "1,Bogus\r\n" + RestLine << "";
    }
    void filesWithoutAKnownStepAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, refusal);
        TestFiles::writeBytes(path("other.TSF"), bytes);
        TestProgram program;
        program.setGridRowCount(3);
        program.setCell(1, 1, QStringLiteral("Discharge"));
        const TestStepFile::Result result = TestStepFile::LoadTestFile(program, path("other.TSF"));
        if (refusal.isEmpty()) {
            QVERIFY2(result.ok, qPrintable(result.message));
            QCOMPARE(program.StepCount(), 2);
            QCOMPARE(program.cell(1, 1), QStringLiteral("Bogus"));
            return;
        }
        QVERIFY(!result.ok);
        QCOMPARE(result.message,
            path("other.TSF") + QStringLiteral(": ") + refusal + QStringLiteral("; nothing was loaded"));
        QCOMPARE(program.StepCount(), 1);
        QCOMPARE(program.cell(1, 1), QStringLiteral("Discharge"));
    }

    void loadEdgeCases_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QStringList>("cells"); // row:column=value
        QTest::addColumn<bool>("warns");
        QTest::newRow("first line is never a step")
            << QByteArray("1,Rest\r\n2,FOR,,,,,,3\r\n") << 1 << QStringList{"1:0=2", "1:1=FOR", "0:0=StepNo."} << false;
        QTest::newRow("short line fills first columns")
            << QByteArray("h\r\n7,Rest\r\n") << 1 << QStringList{"1:0=7", "1:1=Rest", "1:2="} << false;
        QTest::newRow("empty line gives an empty row")
            << QByteArray("h\r\n1,Rest\r\n\r\n3,LOOP\r\n") << 3 << QStringList{"2:0=", "2:1=", "3:1=LOOP"} << false;
        QTest::newRow("numbers as stored")
            << QByteArray("h\r\n5,Rest\r\n6,Rest\r\n") << 2 << QStringList{"1:0=5", "2:0=6"} << false;
        QTest::newRow("LF line ends") << QByteArray("h\n1,Rest\n") << 1 << QStringList{"1:1=Rest"} << false;
        QTest::newRow("extra fields dropped")
            << QByteArray("h\r\n1,Rest" + QByteArray(31, ',') + "x,y\r\n") << 1 << QStringList{"1:31="} << true;
    }
    void loadEdgeCases()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, steps);
        QFETCH(QStringList, cells);
        QFETCH(bool, warns);
        TestFiles::writeBytes(path("edge.TSF"), bytes);
        TestProgram program;
        const auto result = TestStepFile::LoadTestFile(program, path("edge.TSF"));
        QVERIFY(result.ok);
        QCOMPARE(!result.message.isEmpty(), warns);
        QCOMPARE(program.StepCount(), steps);
        for (const QString &spec : cells) {
            const int row = spec.section(u':', 0, 0).toInt();
            const int column = spec.section(u':', 1).section(u'=', 0, 0).toInt();
            QCOMPARE(program.cell(row, column), spec.section(u'=', 1));
        }
    }

    void missingAndUnreadableFiles()
    {
        TestProgram program;
        QVERIFY(TestStepFile::LoadTestFile(program, QString()).ok);
        QVERIFY(TestStepFile::LoadTestFile(program, path("missing.TSF")).ok);
        QCOMPARE(program.gridRowCount(), 2);

        program.setGridRowCount(3);
        program.setCell(1, 1, QStringLiteral("Rest"));
        const auto unreadable = TestStepFile::LoadTestFile(program, m_dir.path());
        QVERIFY(!unreadable.ok);
        QVERIFY(unreadable.message.startsWith(m_dir.path()));
        QCOMPARE(program.cell(1, 1), QStringLiteral("Rest"));

        const auto unwritable = TestStepFile::SaveTestFile(program, path("no/such/folder/x.TSF"));
        QVERIFY(!unwritable.ok);
        QVERIFY(unwritable.message.contains(QStringLiteral("no/such/folder")));
    }

    void bytesThatAreNotUtf8Survive()
    {
        const QByteArray bytes = Header + "1,Discharge,CC,\xb9\xfd\xb8\xfc,\xc3\xa9,\xe2\x82,\xf0\x9f\x98\x80"
            + QByteArray(25, ',') + "\xff\r\n";
        TestFiles::writeBytes(path("ansi.TSF"), bytes);
        TestProgram program;
        QVERIFY(TestStepFile::LoadTestFile(program, path("ansi.TSF")).ok);
        QCOMPARE(program.cell(1, 4), QStringLiteral("\u00e9"));
        QVERIFY(TestStepFile::SaveTestFile(program, path("ansi-out.TSF")).ok);
        QCOMPARE(TestFiles::readBytes(path("ansi-out.TSF")), bytes);
        const QByteArray mixed("a\x80\xc3\xa9\xed\xa0\x80z");
        QCOMPARE(LosslessText::encode(LosslessText::decode(mixed)), mixed);
    }
};

QTEST_GUILESS_MAIN(TestTestStepFile)
#include "tst_teststepfile.moc"
