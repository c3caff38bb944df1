#include "ProcessEnd.h"
#include "report/ComparisonReport.h"
#include "store/RunComparison.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int Runs = 40;

QString uuidOf(int run)
{
    return QStringLiteral("5eed%1-1111-4222-8333-444455556666").arg(run, 4, 10, QLatin1Char('0'));
}

// Run k drew 2.0 - k / 100 Ah over k minutes, its voltage falling from 4.1 V; every third failed.
RunComparison comparison()
{
    RunComparison compared;
    for (int k = 0; k < Runs; ++k) {
        RunComparison::Entry entry;
        entry.run.uuid = uuidOf(k);
        entry.run.station = QStringLiteral("Bench %1").arg(k % 4 + 1);
        entry.run.programName = QStringLiteral("/lab/programs/cell.TSF");
        entry.run.started = QDateTime(QDate(2026, 6, 1), QTime(8, 0)).addSecs(3600LL * k);
        entry.run.result = k % 3 == 2 ? QStringLiteral("FAIL") : QStringLiteral("PASS");
        entry.figures = {2.0 - k / 100.0, 7.4 - k / 30.0, 60.0 * (k + 1), 3.0, 3.0, entry.run.result, {}};
        entry.chart.stepStarted(1, QStringLiteral("Discharge"));
        for (int s = 0; s <= k + 1; ++s) {
            Sample sample;
            sample.elapsedSeconds = 60.0 * s;
            sample.volts = 4.1 - 1.1 * s / (k + 1);
            sample.amps = 2;
            sample.watts = 2 * sample.volts;
            sample.ampHours = 2.0 * 60 * s / 3600;
            entry.chart.add(sample);
        }
        compared.add(entry);
    }
    compared.setNominal(2.0, 0.9);
    return compared;
}

} // namespace

// Many runs compared as PDF, read back with poppler's pdftotext and pdfinfo: landscape pages, the
// table of figures with its header on every page it goes on to, then which run is which.
class TestComparisonReport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_text, m_info;
    int m_pages = 0;

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
            QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");
        QVERIFY(m_dir.isValid());
        const QString pdf = m_dir.filePath(QStringLiteral("compared.pdf"));
        OverlayPainter::View view;
        view.by = OverlayCurve::By::AmpHours;
        QCOMPARE(ComparisonReport::write(comparison(), view, pdf), QString());
        m_text = outputOf(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        m_info = outputOf(QStringLiteral("pdfinfo"), {QStringLiteral("-l"), QStringLiteral("99"), pdf});
        m_pages = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)$"), QRegularExpression::MultilineOption)
                      .match(m_info)
                      .captured(1)
                      .toInt();
    }

    // The curves on the first page; 40 rows of figures and 40 of runs on two or three more.
    void pageCount() { QVERIFY2(m_pages >= 3 && m_pages <= 5, qPrintable(m_info)); }

    void everyPageLandscape()
    {
        const QRegularExpression across(
            QStringLiteral("^Page\\s+\\d+ size:\\s+84[12](\\.\\d+)? x 595(\\.\\d+)? pts \\(A4\\)"),
            QRegularExpression::MultilineOption);
        QCOMPARE(m_info.count(across), m_pages);
    }

    void shows_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("count");
        const auto row
            = [](const char *name, const QString &pattern, int count = 1) { QTest::newRow(name) << pattern << count; };
        row("title", QStringLiteral("^\\s*Run comparison\\n"));
        row("what is compared",
            QStringLiteral("\\n\\s*40 runs by Ah drawn, each from its start, nominal capacity 2 Ah, "
                           "healthy from 90 %\\n"));
        row("the legend", QStringLiteral("Bench \\d · cell\\.TSF · 2026-06-\\d\\d \\d\\d:00 · (PASS|FAIL)"), Runs);
        row("the x axis", QStringLiteral("\\n\\s*Ah drawn\\n"));
        row("a run's figures",
            QStringLiteral("\\n\\s*1\\s+Bench 1\\s+cell\\.TSF\\s+2026-06-01 08:00\\s+PASS\\s+2\\.0000 Ah\\s+"
                           "7\\.400 Wh\\s+1 min 00 s\\s+3\\.000 V\\s+3\\.000 V\\s+PASS\\s+100\\.0 %\\s+PASS\\n"));
        row("an unhealthy run",
            QStringLiteral("\\n\\s*40\\s+Bench 4\\s+cell\\.TSF\\s+2026-06-02 23:00\\s+PASS\\s+1\\.6100 Ah"
                           "[^\\n]*80\\.5 %\\s+FAIL\\n"));
        row("every run's figures", QStringLiteral("\\n\\s*\\d+\\s+Bench \\d\\s+cell\\.TSF\\s+2026-06-"), Runs);
        row("mean", QStringLiteral("\\n\\s*Mean\\s+1\\.8050 Ah"));
        row("min", QStringLiteral("\\n\\s*Min\\s+1\\.6100 Ah"));
        row("max", QStringLiteral("\\n\\s*Max\\s+2\\.0000 Ah"));
        row("std dev", QStringLiteral("\\n\\s*Std dev\\s+0\\.1169 Ah"));
        row("every run's UUID",
            QStringLiteral("\\n\\s*\\d+\\s+5eed00\\d\\d-1111-4222-8333-444455556666\\s+Bench \\d\\s+"
                           "/lab/programs/cell\\.TSF\\s+2026-06-0\\d \\d\\d:00:00\\s+(PASS|FAIL)\\n"),
            Runs);
        row("footer", QStringLiteral("Run comparison: 40 runs by Ah drawn[^\\n]*page \\d of \\d"), -1);
    }
    void shows()
    {
        QFETCH(QString, pattern);
        QFETCH(int, count);
        const QRegularExpression expression(pattern);
        QVERIFY(expression.isValid());
        // -1: on every page.
        QCOMPARE(m_text.count(expression), count < 0 ? m_pages : count);
    }

    // The figures' header row heads every page the table goes on to.
    void tableHeaderOnEachPage()
    {
        const QRegularExpression header(QStringLiteral("#\\s+Station\\s+Program\\s+Started\\s+Result\\s+Capacity"));
        const QRegularExpression figuresRow(QStringLiteral("\\n\\s*\\d+\\s+Bench \\d\\s+cell\\.TSF"));
        int tablePages = 0;
        for (const QString &page : m_text.split(u'\f')) {
            const QRegularExpressionMatch firstRow = figuresRow.match(page);
            if (!firstRow.hasMatch())
                continue;
            ++tablePages;
            const QRegularExpressionMatch heading = header.match(page);
            QVERIFY2(heading.hasMatch() && heading.capturedStart() < firstRow.capturedStart(), qPrintable(page));
        }
        QVERIFY2(tablePages >= 2, qPrintable(m_text));
    }
};

QTEST_MAIN(TestComparisonReport)
#include "tst_comparisonreport.moc"
