#include "ComparedRuns.h"
#include "PgCluster.h"
#include "ProcessEnd.h"
#include "TestFiles.h"
#include "report/RunColours.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QByteArray Header = "UUID,Station,Program,Started,Result,Ah,Wh,Seconds,EndV,MinV,Ending,Verdicts";
const QByteArray A = "c0de000a-0000-4000-8000-000000000000,Bench 1,/lab/programs/cell.TSF,2026-05-01 09:00:00,PASS,";
const QByteArray B
    = "c0de000b-0000-4000-8000-000000000000,Bench 1,\"/lab/programs/cell, 2p.TSF\",2026-05-02 09:00:00,FAIL,";
const QByteArray C = "c0de000c-0000-4000-8000-000000000000,Bench 2,/lab/programs/cell.TSF,2026-05-03 09:00:00,STOPPED,";
const QByteArray E
    = "c0de000e-0000-4000-8000-000000000000,Bench 4,/lab/programs/cell.TSF,2026-05-05 09:00:00,UNFINISHED,";

// A, B and C from their first pass of step 2 on, judged against 1.25 Ah: SOH 0.8, 0.96, 0.64.
QList<QByteArray> alignedAndJudged(const QByteArray &threshold80Verdict)
{
    return {Header + ",SOH,SOHVerdict",
        A + "1.000000,3.700000,3000.0,3.600,3.600,\"PASS, voltage\",1 PASS,0.8000," + threshold80Verdict,
        B + "1.200000,4.440000,3720.0,3.700,3.700,\"FAIL, voltage\",\"1 PASS, 1 FAIL\",0.9600,PASS",
        C + "0.800000,2.960000,2880.0,3.200,3.200,\"STOPPED, stopped\",,0.6400,FAIL",
        "mean,,,,,1.000000,3.700000,3200.0,3.500,3.500,,,0.8000,",
        "min,,,,,0.800000,2.960000,2880.0,3.200,3.200,,,0.6400,",
        "max,,,,,1.200000,4.440000,3720.0,3.700,3.700,,,0.9600,",
        "stddev,,,,,0.200000,0.740000,454.3,0.265,0.265,,,0.1600,"};
}

// The pixels of `colour` above the axis' words and the legend (the picture's lowest quarter), give
// or take a little: the curves' own, not their sample lines in the legend.
qsizetype curvePixels(const QImage &image, const QColor &colour)
{
    qsizetype count = 0;
    for (int y = 0; y < image.height() * 3 / 4; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            count += std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green())
                    + std::abs(pixel.blue() - colour.blue())
                <= 12;
        }
    }
    return count;
}

} // namespace

// vornic-runs compare, run as the built program on the bench's file and on the lab's server: the
// CSV it writes byte for byte, the picture and the PDF of the runs' curves, what it says of runs it cannot compare, and
// command lines that do not fit.
class TestRunsCompare : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<PgCluster> m_lab;

    // The settings file naming the store to read: the bench's own, or the lab's server holding
    // the same runs; "" when no server runs here.
    QString settingsFor(bool lab)
    {
        if (!lab)
            return m_dir.filePath(QStringLiteral("VORN.INI"));
        const QString ini = m_dir.filePath(QStringLiteral("lab.INI"));
        if (!m_lab) {
            m_lab = std::make_unique<PgCluster>();
            if (!m_lab->problem().isEmpty())
                return QString();
            ComparedRuns::forward(m_dir.filePath(QStringLiteral("runs.sqlite")), *m_lab);
            TestFiles::writeBytes(ini, m_lab->storeSettings());
        }
        return m_lab->problem().isEmpty() ? ini : QString();
    }

    struct Ended
    {
        int exitCode = -1;
        QByteArray out, err;
    };
    // vornic-runs compare with `arguments` on the bench's file or the lab's server.
    Ended compare(const QString &settings, bool lab, QStringList arguments)
    {
        arguments.prepend(QStringLiteral("compare"));
        if (lab)
            arguments.append(QStringLiteral("--server"));
        QProcess process;
        process.start(
            TestFiles::binary("vornic-runs"), QStringList{QStringLiteral("--settings"), settings} + arguments);
        if (!waitForEnd(process))
            return {};
        return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        ComparedRuns::writeBench(m_dir.filePath(QStringLiteral("runs.sqlite")));
        TestFiles::writeBytes(m_dir.filePath(QStringLiteral("VORN.INI")), "[System]\r\nMeasureTime=100\r\n");
    }

    void csvOfRuns_data()
    {
        QTest::addColumn<bool>("lab");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("standardError");
        // The CSV's lines, as written.
        QTest::addColumn<QList<QByteArray>>("lines");
        const QList<QByteArray> wholeRuns{Header, A + "1.100000,4.100000,3600.0,3.600,3.500,\"PASS, voltage\",1 PASS",
            B + "1.300000,4.840000,4320.0,3.700,3.400,\"FAIL, voltage\",\"1 PASS, 1 FAIL\"",
            C + "0.900000,3.360000,3480.0,3.200,3.200,\"STOPPED, stopped\",",
            "mean,,,,,1.100000,4.100000,3800.0,3.500,3.367,,", "min,,,,,0.900000,3.360000,3480.0,3.200,3.200,,",
            "max,,,,,1.300000,4.840000,4320.0,3.700,3.500,,", "stddev,,,,,0.200000,0.740000,454.3,0.265,0.153,,"};
        const QStringList abc{"c0de000a", "c0de000b", "c0de000c"};
        const QStringList aligned{"--align-step", "2", "--nominal", "1.25"};
        for (const bool lab : {false, true}) {
            const auto row = [&](const char *name, const QStringList &words, int exitCode,
                                 const QByteArray &standardError, const QList<QByteArray> &lines) {
                QTest::newRow(qPrintable(QLatin1String(lab ? "lab: " : "bench: ") + QLatin1String(name)))
                    << lab << words << exitCode << standardError << lines;
            };
            row("whole runs", abc, 0, "", wholeRuns);
            row("aligned at step 2, at the threshold", abc + aligned + QStringList{"--threshold", "80"}, 0, "",
                alignedAndJudged("PASS"));
            row("the threshold left at 80 %", abc + aligned, 0, "", alignedAndJudged("PASS"));
            row("just over the threshold", abc + aligned + QStringList{"--threshold", "80.0001"}, 0, "",
                alignedAndJudged("FAIL"));
            row("a run without the step is named and left out",
                {"c0de000a", "c0de000d", "--align-step", "2", "--nominal", "1.25"}, 1,
                "vornic-runs: run c0de000d-0000-4000-8000-000000000000 has no step 2 to align at\n",
                {Header + ",SOH,SOHVerdict",
                    A + "1.000000,3.700000,3000.0,3.600,3.600,\"PASS, voltage\",1 PASS,0.8000,PASS",
                    "mean,,,,,1.000000,3.700000,3000.0,3.600,3.600,,,0.8000,",
                    "min,,,,,1.000000,3.700000,3000.0,3.600,3.600,,,0.8000,",
                    "max,,,,,1.000000,3.700000,3000.0,3.600,3.600,,,0.8000,",
                    "stddev,,,,,0.000000,0.000000,0.0,0.000,0.000,,,0.0000,"});
            row("a run without samples: its voltages left empty", {"c0de000e", "c0de000a"}, 0, "",
                {Header, E + "0.000000,0.000000,0.0,,,UNFINISHED,",
                    A + "1.100000,4.100000,3600.0,3.600,3.500,\"PASS, voltage\",1 PASS",
                    "mean,,,,,0.550000,2.050000,1800.0,3.600,3.500,,", "min,,,,,0.000000,0.000000,0.0,3.600,3.500,,",
                    "max,,,,,1.100000,4.100000,3600.0,3.600,3.500,,",
                    "stddev,,,,,0.777817,2.899138,2545.6,0.000,0.000,,"});
            row("a run named twice counts once", {"c0de000b", "c0de000b-0000-4000-8000-000000000000"}, 0, "",
                {Header, B + "1.300000,4.840000,4320.0,3.700,3.400,\"FAIL, voltage\",\"1 PASS, 1 FAIL\"",
                    "mean,,,,,1.300000,4.840000,4320.0,3.700,3.400,,", "min,,,,,1.300000,4.840000,4320.0,3.700,3.400,,",
                    "max,,,,,1.300000,4.840000,4320.0,3.700,3.400,,",
                    "stddev,,,,,0.000000,0.000000,0.0,0.000,0.000,,"});
            row("picked by list's filters, newest first", {"--station", "bench 1", "--result", "fail"}, 0, "",
                {Header, B + "1.300000,4.840000,4320.0,3.700,3.400,\"FAIL, voltage\",\"1 PASS, 1 FAIL\"",
                    "mean,,,,,1.300000,4.840000,4320.0,3.700,3.400,,", "min,,,,,1.300000,4.840000,4320.0,3.700,3.400,,",
                    "max,,,,,1.300000,4.840000,4320.0,3.700,3.400,,",
                    "stddev,,,,,0.000000,0.000000,0.0,0.000,0.000,,"});
        }
    }
    void csvOfRuns()
    {
        QFETCH(bool, lab);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, standardError);
        QFETCH(QList<QByteArray>, lines);
        const QString settings = settingsFor(lab);
        if (settings.isEmpty())
            QSKIP(qPrintable(m_lab->problem()));
        const QString csv = m_dir.filePath(QStringLiteral("compared.csv"));
        QFile::remove(csv);
        arguments.prepend(QStringLiteral("compare"));
        arguments << QStringLiteral("--csv") << csv;
        if (lab)
            arguments.append(QStringLiteral("--server"));
        QProcess process;
        process.start(
            TestFiles::binary("vornic-runs"), QStringList{QStringLiteral("--settings"), settings} + arguments);
        QVERIFY(waitForEnd(process));
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(process.exitCode() == exitCode, err.constData());
        QCOMPARE(err, standardError);
        QCOMPARE(TestFiles::readBytes(csv), TestFiles::crlfLines(lines));
    }

    void csvToStandardOutput()
    {
        QProcess process;
        process.start(TestFiles::binary("vornic-runs"),
            {QStringLiteral("--settings"), m_dir.filePath(QStringLiteral("VORN.INI")), QStringLiteral("compare"),
                QStringLiteral("c0de000b"), QStringLiteral("--csv"), QStringLiteral("-")});
        QVERIFY(waitForEnd(process));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput(),
            TestFiles::crlfLines({Header,
                B + "1.300000,4.840000,4320.0,3.700,3.400,\"FAIL, voltage\",\"1 PASS, 1 FAIL\"",
                "mean,,,,,1.300000,4.840000,4320.0,3.700,3.400,,", "min,,,,,1.300000,4.840000,4320.0,3.700,3.400,,",
                "max,,,,,1.300000,4.840000,4320.0,3.700,3.400,,", "stddev,,,,,0.000000,0.000000,0.0,0.000,0.000,,"}));
    }

    void pictureOfRuns_data()
    {
        QTest::addColumn<bool>("lab");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("file");
        // The runs whose colour the curves show, by their place.
        QTest::addColumn<QList<int>>("shown");
        // The samples here count no Ah and no W: the curves by Ah and of power stand on an axis, and
        // the PDF's rows show that they were asked for.
        const QStringList abc{"c0de000a", "c0de000b", "c0de000c"};
        for (const bool lab : {false, true}) {
            const auto row
                = [&](const char *name, const QStringList &words, const QString &file, const QList<int> &shown) {
                      QTest::newRow(qPrintable(QLatin1String(lab ? "lab: " : "bench: ") + QLatin1String(name)))
                          << lab << words << file << shown;
                  };
            row("voltage by time", abc, "curves.png", {0, 1, 2});
            row("voltage by time from step 2", abc + QStringList{"--by", "TIME", "--align-step", "2"}, "curves.png",
                {0, 1, 2});
            row("on standard output", abc + QStringList{"--quantity", "v"}, "-", {0, 1, 2});
        }
    }
    void pictureOfRuns()
    {
        QFETCH(bool, lab);
        QFETCH(QStringList, arguments);
        QFETCH(QString, file);
        QFETCH(QList<int>, shown);
        const QString settings = settingsFor(lab);
        if (settings.isEmpty())
            QSKIP(qPrintable(m_lab->problem()));
        const QString png = file == u"-" ? file : m_dir.filePath(file);
        QFile::remove(png);
        const Ended ended = compare(settings, lab, arguments + QStringList{QStringLiteral("--png"), png});
        QVERIFY2(ended.exitCode == 0, ended.err.constData());
        const QImage image
            = QImage::fromData(file == u"-" ? ended.out : TestFiles::readBytes(png), file == u"-" ? "PNG" : nullptr);
        QCOMPARE(image.size(), QSize(1600, 900));
        for (const int run : shown) {
            const qsizetype pixels = curvePixels(image, RunColours::of(run));
            QVERIFY2(pixels > 400, qPrintable(QStringLiteral("run %1: %2 pixels").arg(run).arg(pixels)));
        }
    }

    void pdfOfRuns_data()
    {
        QTest::addColumn<bool>("lab");
        QTest::addColumn<QStringList>("arguments");
        // Patterns that its text matches.
        QTest::addColumn<QStringList>("shown");
        for (const bool lab : {false, true}) {
            const auto row = [&](const char *name, const QStringList &words, const QStringList &shown) {
                QTest::newRow(qPrintable(QLatin1String(lab ? "lab: " : "bench: ") + QLatin1String(name)))
                    << lab << words << shown;
            };
            row("voltage by time from step 2, judged", {"--align-step", "2", "--nominal", "1.25"},
                {"\\n\\s*3 runs by time, aligned at step 2, nominal capacity 1\\.25 Ah, healthy from 80 %\\n",
                    "Voltage \\(V\\)", "Time since step 2 \\(min\\)",
                    "\\n\\s*1\\s+Bench 1\\s+cell\\.TSF\\s+2026-05-01 09:00\\s+PASS\\s+1\\.0000 Ah",
                    "\\n\\s*3\\s+Bench 2\\s+cell\\.TSF\\s+2026-05-03 09:00\\s+STOPPED\\s+0\\.8000 Ah.*64\\.0 "
                    "%\\s+FAIL\\n",
                    "\\n\\s*Mean\\s+1\\.0000 Ah", "\\n\\s*Std dev\\s+0\\.2000 Ah"});
            row("power by Ah", {"--by", "ah", "--quantity", "W"},
                {"\\n\\s*3 runs by Ah drawn, each from its start\\n", "Power \\(W\\)", "\\n\\s*Ah drawn\\n",
                    "\\n\\s*2\\s+Bench 1\\s+cell, 2p\\.TSF\\s+2026-05-02 09:00\\s+FAIL\\s+1\\.3000 Ah"});
        }
    }
    void pdfOfRuns()
    {
        QFETCH(bool, lab);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, shown);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
            QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");
        const QString settings = settingsFor(lab);
        if (settings.isEmpty())
            QSKIP(qPrintable(m_lab->problem()));
        const QString pdf = m_dir.filePath(QStringLiteral("compared.pdf"));
        QFile::remove(pdf);
        const Ended ended = compare(settings, lab,
            QStringList{QStringLiteral("c0de000a"), QStringLiteral("c0de000b"), QStringLiteral("c0de000c"),
                QStringLiteral("--pdf"), pdf}
                + arguments);
        QVERIFY2(ended.exitCode == 0, ended.err.constData());
        QVERIFY(TestFiles::readBytes(pdf).startsWith("%PDF-"));

        const QString info = outputOf(QStringLiteral("pdfinfo"), {QStringLiteral("-l"), QStringLiteral("99"), pdf});
        const int pages = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)$"), QRegularExpression::MultilineOption)
                              .match(info)
                              .captured(1)
                              .toInt();
        QVERIFY2(pages >= 2, qPrintable(info));
        const QRegularExpression pageSize(
            QStringLiteral("^Page\\s+\\d+ size:\\s+([\\d.]+) x ([\\d.]+) pts"), QRegularExpression::MultilineOption);
        int landscape = 0;
        for (QRegularExpressionMatchIterator it = pageSize.globalMatch(info); it.hasNext();) {
            const QRegularExpressionMatch size = it.next();
            // A4 across: 297 mm by 210 mm.
            QVERIFY2(qAbs(size.captured(1).toDouble() - 841.89) < 1 && qAbs(size.captured(2).toDouble() - 595.28) < 1,
                qPrintable(size.captured(0)));
            ++landscape;
        }
        QCOMPARE(landscape, pages);

        const QString text
            = outputOf(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY2(text.startsWith(QStringLiteral("Run comparison\n")), qPrintable(text));
        for (const QString &uuid : {ComparedRuns::A, ComparedRuns::B, ComparedRuns::C})
            QVERIFY2(text.contains(uuid), qPrintable(uuid + QStringLiteral(" not in:\n") + text));
        for (const QString &pattern : shown)
            QVERIFY2(QRegularExpression(pattern).match(text).hasMatch(), qPrintable(pattern + u'\n' + text));
        QCOMPARE(text.count(QRegularExpression(QStringLiteral("page \\d of \\d"))), pages);
    }

    // "%D" stands for the folder of the settings and the store. Nothing is written.
    void refused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        const QStringList csv{QStringLiteral("--csv"), QStringLiteral("%D/refused.csv")};
        QTest::newRow("nothing to write") << QStringList{"compare", "c0de000a"} << 2
                                          << "^vornic-runs: compare writes with --csv FILE, --png FILE or --pdf FILE";
        QTest::newRow("two on standard output") << QStringList{"compare", "c0de000a", "--csv", "-", "--pdf",
            "-"} << 2 << "(^|\\n)vornic-runs: only one of --csv, --png and --pdf can be \"-\"";
        QTest::newRow("by volts") << QStringList{"compare", "c0de000a", "--by", "volts"} + csv << 2
                                  << "^vornic-runs: --by is time or ah, not \"volts\"";
        QTest::newRow("quantity of ohms") << QStringList{"compare", "c0de000a", "--quantity", "r"} + csv << 2
                                          << "^vornic-runs: --quantity is v, i or w, not \"r\"";
        QTest::newRow("a picture format of no name") << QStringList{"compare", "c0de000a", "--png", "%D/refused.nope"}
                + csv << 2 << "(^|\\n)vornic-runs: --png [^\\n]*/refused\\.nope: no picture format is named \\.nope";
        QTest::newRow("runs and filters at once") << QStringList{"compare", "c0de000a", "--station", "x"} + csv << 2
                                                  << "^vornic-runs: compare takes runs by UUID or by filters, not both";
        QTest::newRow("step 0") << QStringList{"compare", "c0de000a", "--align-step", "0"} + csv << 2
                                << "^vornic-runs: --align-step needs a step number from 1, not \"0\"";
        QTest::newRow("step not a number") << QStringList{"compare", "c0de000a", "--align-step", "two"} + csv << 2
                                           << "^vornic-runs: --align-step needs a step number from 1, not \"two\"";
        QTest::newRow("nominal below zero") << QStringList{"compare", "c0de000a", "--nominal", "-1"} + csv << 2
                                            << "^vornic-runs: --nominal needs a number above 0, not \"-1\"";
        QTest::newRow("nominal with a comma") << QStringList{"compare", "c0de000a", "--nominal", "1,25"} + csv << 2
                                              << "^vornic-runs: --nominal needs a number above 0, not \"1,25\"";
        QTest::newRow("threshold of nothing") << QStringList{"compare", "c0de000a", "--threshold", "80"} + csv << 2
                                              << "^vornic-runs: --threshold needs --nominal";
        QTest::newRow("threshold zero") << QStringList{"compare", "c0de000a", "--nominal", "1", "--threshold", "0"}
                + csv << 2 << "^vornic-runs: --threshold needs a number above 0, not \"0\"";
        QTest::newRow("threshold as a fraction")
            << QStringList{"compare", "c0de000a", "--nominal", "1", "--threshold", "0.8"} + csv << 2
            << "^vornic-runs: --threshold is a percentage \\(80 for 80 %\\), not \"0\\.8\"";
        QTest::newRow("not a result") << QStringList{"compare", "--result", "MAYBE"} + csv << 2
                                      << "^vornic-runs: --result is one of PASS\\|";
        QTest::newRow("not a day") << QStringList{"compare", "--from", "05/01/2026"} + csv << 2
                                   << "^vornic-runs: --from needs a day";
        QTest::newRow("no such run") << QStringList{"compare", "c0de000a", "abc"} + csv << 1
                                     << "^vornic-runs: no run abc in [^\\n]*runs\\.sqlite\\n$";
        QTest::newRow("a prefix of several runs")
            << QStringList{"compare", "c0de"} + csv << 1 << "^vornic-runs: \"c0de\" names more than one run";
        QTest::newRow("the filters pick none")
            << QStringList{"compare", "--station", "Bench 9"} + csv << 1 << "^vornic-runs: no run to compare\\n$";
        QTest::newRow("every run lacks the step")
            << QStringList{"compare", "c0de000d", "--align-step", "2"} + csv << 1
            << "^vornic-runs: run c0de000d-[^\\n]* has no step 2 to align at\\nvornic-runs: no run to compare\\n$";
        QTest::newRow("folder missing") << QStringList{"compare", "c0de000a", "--csv", "%D/no/compared.csv"} << 1
                                        << "^vornic-runs: [^\\n]*/no/compared\\.csv: ";
    }
    void refused()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("refused.csv")));
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        arguments.replaceInStrings(QStringLiteral("%D"), m_dir.path());
        QProcess process;
        process.start(TestFiles::binary("vornic-runs"),
            QStringList{QStringLiteral("--settings"), m_dir.filePath(QStringLiteral("VORN.INI"))} + arguments);
        QVERIFY(waitForEnd(process));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(process.exitCode() == exitCode, qPrintable(err));
        QVERIFY2(QRegularExpression(said).match(err).hasMatch(), qPrintable(err));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("refused.csv"))));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("refused.nope"))));
    }
};

QTEST_GUILESS_MAIN(TestRunsCompare)
#include "tst_runscompare.moc"
