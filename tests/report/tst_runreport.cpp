#include "ProcessEnd.h"
#include "SecretSettings.h"
#include "StoreFixture.h"
#include "report/RunReport.h"
#include "store/RunArchive.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Uuid = QStringLiteral("5eed0000-1111-4222-8333-444455556666");
constexpr int StepRows = 90;
constexpr int Samples = 4000;

// Three steps run 30 times over: discharge, rest and a check whose verdict passes but at the last.
QStringList storeRows()
{
    return {
        StoreFixture::run(Uuid, QStringLiteral("2026-03-06T08:00:00.000"), QStringLiteral("FAIL")),
        QStringLiteral("WITH RECURSIVE n(r) AS (SELECT 0 UNION ALL SELECT r + 1 FROM n WHERE r < %2) "
                       "INSERT INTO steps SELECT '%1', r % 3 + 1, CASE r % 3 WHEN 0 THEN 'Discharge' WHEN 1 THEN "
                       "'Rest' ELSE 'Check' END, strftime('%Y-%m-%dT%H:%M:%f', '2026-03-06 08:00:00', '+' || "
                       "(r * 4.4) || ' seconds'), 4.4, CASE r % 3 WHEN 2 THEN 'load' ELSE 'time' END, CASE WHEN r "
                       "% 3 <> 2 THEN '' WHEN r = %2 THEN 'FAIL' ELSE 'PASS' END, CASE r % 3 WHEN 2 THEN '11.9V' "
                       "ELSE '' END, r * 0.001, r * 0.012, 12.6 - r * 0.02, 2 FROM n")
            .arg(Uuid)
            .arg(StepRows - 1),
        QStringLiteral("WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < %2) "
                       "INSERT INTO samples SELECT '%1', k, k * 0.1, 12.6 - k * 0.0004, 2, 2 * (12.6 - k * 0.0004), "
                       "k * 0.1 * 2 / 3600, k * 0.1 * 25 / 3600, ((k - 1) * %3 / %2) % 3 + 1 FROM n")
            .arg(Uuid)
            .arg(Samples)
            .arg(StepRows),
    };
}

int matchCount(const QRegularExpression &expression, const QString &text)
{
    int count = 0;
    for (QRegularExpressionMatchIterator it = expression.globalMatch(text); it.hasNext(); it.next())
        ++count;
    return count;
}

} // namespace

class TestRunReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
            QSKIP("pdftotext and pdfinfo (poppler-utils) are not installed");
        QVERIFY(m_dir.isValid());
        const QString store = m_dir.filePath(QStringLiteral("runs.sqlite"));
        StoreFixture::write(store, storeRows());
        RunArchive archive = RunArchive::local(store);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> run = archive.run(Uuid, &error);
        QVERIFY2(run, qPrintable(error));
        const QString pdf = m_dir.filePath(QStringLiteral("report.pdf"));
        QCOMPARE(RunReport::write(archive, *run, pdf), QString());
        m_text = outputOf(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        const QRegularExpressionMatch pages
            = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)$"), QRegularExpression::MultilineOption)
                  .match(outputOf(QStringLiteral("pdfinfo"), {pdf}));
        m_pages = pages.captured(1).toInt();
    }

    // 90 table rows take a second page, the settings and the program a third.
    void pageCount() { QVERIFY2(m_pages >= 3 && m_pages <= 5, qPrintable(QString::number(m_pages))); }

    void shows_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("count");
        const auto row
            = [](const char *name, const QString &pattern, int count = 1) { QTest::newRow(name) << pattern << count; };
        row("title and result", QStringLiteral("Run report\\s+FAIL"));
        row("program", QStringLiteral("Program\\s+/lab/programs/cell\\.TSF\\n\\s*Load"));
        row("load and station", QStringLiteral("Load\\s+6312C \\(rated 60 A\\)\\s+Station\\s+Bench 1"));
        row("date", QStringLiteral("Date\\s+2026-03-06"));
        row("started", QStringLiteral("Started\\s+08:00:00"));
        row("verdicts counted", QStringLiteral("Steps run\\s+90 \\(29 PASS, 1 FAIL\\)"));
        // The steps drew r * 0.001 Ah and r * 0.012 Wh for r = 0 to 89: 4.005 Ah and 48.06 Wh.
        row("run totals", QStringLiteral("Run Ah\\s+4\\.005000\\s+Run Wh\\s+48\\.060000"));
        row("samples", QStringLiteral("Samples\\s+4000"));
        row("message", QStringLiteral("Message\\s+step 2 failed"));
        row("uuid", QStringLiteral("Run UUID\\s+") + Uuid);
        row("chart legend", QStringLiteral("Voltage \\(V\\)\\s+Current \\(A\\)\\s+Power \\(W\\)"));
        row("first step row",
            QStringLiteral("\\n\\s*1\\s+Discharge\\s+08:00:00\\s+4\\.4 s\\s+time\\s+0\\.0000\\s+"
                           "0\\.0000\\s+12\\.600\\s+2\\.000\\n"));
        row("passed check", QStringLiteral("\\n\\s*3\\s+Check\\s+08:00:08\\s+4\\.4 s\\s+load\\s+PASS\\s+11\\.9V"));
        row("failed last check",
            QStringLiteral("\\n\\s*3\\s+Check\\s+08:06:31\\s+4\\.4 s\\s+load\\s+FAIL\\s+11\\.9V\\s+0\\.0890"));
        row("every step row", QStringLiteral("\\n\\s*[123]\\s+(Discharge|Rest|Check)\\s+08:"), StepRows);
        row("settings", QStringLiteral("Settings in force[\\s\\S]*1\\s+\\[System\\]\\s+2\\s+MeasureTime=100"));
        row("program text", QStringLiteral("Program\\s+/lab/programs/cell\\.TSF\\s+1\\s+StepNo\\.,Function"), 1);
        row("footer", QStringLiteral("Run %1\\s+page \\d of \\d").arg(Uuid), -1);
    }
    void shows()
    {
        QFETCH(QString, pattern);
        QFETCH(int, count);
        const QRegularExpression expression(pattern);
        QVERIFY(expression.isValid());
        // -1: on every page.
        const int expected = count < 0 ? m_pages : count;
        QCOMPARE(matchCount(expression, m_text), expected);
    }

    // The table's header row heads every page the table goes on to.
    void tableHeaderOnEachPage()
    {
        const QRegularExpression header(QStringLiteral("No\\.\\s+Function\\s+Start\\s+Duration\\s+Ended by"));
        const QRegularExpression stepRow(QStringLiteral("\\n\\s*[123]\\s+(Discharge|Rest|Check)\\s+08:"));
        int tablePages = 0;
        for (const QString &page : m_text.split(u'\f')) {
            const QRegularExpressionMatch firstRow = stepRow.match(page);
            if (!firstRow.hasMatch())
                continue;
            ++tablePages;
            const QRegularExpressionMatch heading = header.match(page);
            QVERIFY2(heading.hasMatch() && heading.capturedStart() < firstRow.capturedStart(), qPrintable(page));
        }
        QVERIFY(tablePages >= 2);
    }

    // A run stored before secrets were blanked at the source still holds them: its report does not.
    void secretsAreLeftOut()
    {
        const QString store = m_dir.filePath(QStringLiteral("secrets.sqlite"));
        StoreFixture::write(store,
            {StoreFixture::run(Uuid, QStringLiteral("2026-03-06T08:00:00.000"), QStringLiteral("PASS")),
                QStringLiteral("UPDATE runs SET settings_text = '%1'").arg(SecretSettings::Text)});
        RunArchive archive = RunArchive::local(store);
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> run = archive.run(Uuid, &error);
        QVERIFY2(run, qPrintable(error));
        const QString pdf = m_dir.filePath(QStringLiteral("secrets.pdf"));
        QCOMPARE(RunReport::write(archive, *run, pdf), QString());
        const QString text
            = outputOf(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY2(!text.contains(SecretSettings::Secret), qPrintable(text));
        for (const char *kept :
            {"PassCount=3", "Passes=12", "Station=Bench 7", "\\d\\s+Password=[ \\t]*\\n", "\\d\\s+ApiToken=[ \\t]*\\n"})
            QVERIFY2(QRegularExpression(QString::fromLatin1(kept)).match(text).hasMatch(), kept);
    }

private:
    QTemporaryDir m_dir;
    QString m_text;
    int m_pages = 0;
};

QTEST_MAIN(TestRunReport)
#include "tst_runreport.moc"
