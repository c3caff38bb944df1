#include "ComparedRuns.h"
#include "ScreenRoom.h"
#include "store/RunArchive.h"
#include "store/RunComparisonCsv.h"
#include "ui/CompareWindow.h"
#include "ui/OverlayChart.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <memory>

using namespace ComparedRuns;

class TestCompareWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_bench;

    std::unique_ptr<CompareWindow> open(const QStringList &uuids)
    {
        const QString path = m_bench;
        auto window = std::make_unique<CompareWindow>(
            [path] { return RunArchive::local(path); }, QStringLiteral("This bench"), uuids, m_dir.path());
        QSignalSpy read(window.get(), &CompareWindow::runsRead);
        window->resize(1100, 800);
        window->show();
        [&] { QTRY_COMPARE(read.size(), 1); }();
        return window;
    }

    static QString cell(const CompareWindow &window, int row, int column)
    {
        return window.table()->model()->index(row, column).data().toString();
    }

private Q_SLOTS:
    // A laptop's screen shows the whole window: it opens no larger than the room its screen has.
    void opensWithinTheScreen()
    {
        const CompareWindow window([path = m_bench] { return RunArchive::local(path); }, QStringLiteral("This bench"),
            QStringList(), m_dir.path());
        QCOMPARE(beyondItsScreen(window), QString());
    }

    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_bench = m_dir.filePath(QStringLiteral("runs.sqlite"));
        writeBench(m_bench);
    }

    // Read once, then aligned, judged and drawn again from what was read as the controls change:
    // a run without the step is left out and said, its neighbours keep their colours.
    void theControlsMeasureTheRunsAgain()
    {
        const auto window = open({A, B, C, D});
        QCOMPARE(window->statusText(), QStringLiteral("4 runs compared from This bench."));
        QCOMPARE(window->table()->model()->rowCount(), 4 + 4);
        QCOMPARE(cell(*window, 0, 5), QStringLiteral("1.1000 Ah"));
        const QColor fourth = window->table()->model()->index(3, 0).data(Qt::DecorationRole).value<QColor>();

        window->alignBox()->setValue(2);
        QCOMPARE(window->comparison().entries().size(), 3);
        QCOMPARE(cell(*window, 0, 5), QStringLiteral("1.0000 Ah"));
        QVERIFY2(window->statusText().endsWith(QStringLiteral("Left out: run %1 has no step 2 to align at.").arg(D)),
            qPrintable(window->statusText()));
        QCOMPARE(window->chart()->painterCurves().size(), 3);
        QCOMPARE(window->chart()->view().alignStep, std::optional<int>(2));

        window->nominalEdit()->setText(QStringLiteral("1,0"));
        QVERIFY(window->statusText().contains(QStringLiteral("Nominal: \"1,0\" is not a capacity in Ah")));
        QCOMPARE(window->table()->model()->columnCount(), 12);
        window->nominalEdit()->setText(QStringLiteral("1.0"));
        window->thresholdBox()->setValue(90);
        QCOMPARE(window->table()->model()->columnCount(), 14);
        QCOMPARE(cell(*window, 2, 12), QStringLiteral("80.0 %"));
        QCOMPARE(cell(*window, 2, 13), QStringLiteral("FAIL"));
        QCOMPARE(cell(*window, 1, 13), QStringLiteral("PASS"));

        window->alignBox()->setValue(0);
        QCOMPARE(window->table()->model()->index(3, 0).data(Qt::DecorationRole).value<QColor>(), fourth);
        window->byBox()->setCurrentIndex(1);
        QCOMPARE(window->chart()->view().by, OverlayCurve::By::AmpHours);
        // The fixture's samples carry no Ah: the axis shows its least span.
        QCOMPARE(window->chart()->span(), std::pair(0.0, 1.0));
    }

    // What Save Figures, Save Chart and Save PDF write is what is shown, written off the window's
    // thread; a file that cannot be written is said.
    void savedFilesAreWhatIsShown()
    {
        const auto window = open({A, B, C});
        window->alignBox()->setValue(2);
        QSignalSpy saved(window.get(), &CompareWindow::saved);
        const QString csv = m_dir.filePath(QStringLiteral("figures.csv"));
        window->saveFigures(csv);
        QTRY_COMPARE(saved.size(), 1);
        QFile written(csv);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), RunComparisonCsv::toCsv(window->comparison()));

        const QString png = m_dir.filePath(QStringLiteral("chart.png"));
        window->saveChart(png);
        QTRY_COMPARE(saved.size(), 2);
        QCOMPARE(saved.at(1).at(1).toString(), QString());
        QCOMPARE(QImage(png).size(), QSize(1600, 900));

        const QString pdf = m_dir.filePath(QStringLiteral("comparison.pdf"));
        window->savePdf(pdf);
        QTRY_COMPARE(saved.size(), 3);
        QFile report(pdf);
        QVERIFY(report.open(QIODevice::ReadOnly));
        QVERIFY(report.read(5) == "%PDF-");

        window->saveFigures(m_dir.filePath(QStringLiteral("no such folder/figures.csv")));
        QTRY_COMPARE(saved.size(), 4);
        QVERIFY(!saved.at(3).at(1).toString().isEmpty());
        QCOMPARE(window->statusText(), saved.at(3).at(1).toString());
    }

    // A span dragged zooms to it, a right-drag pans, the wheel zooms about the pointer, a
    // double-click shows every curve whole.
    void theChartZoomsAndPans()
    {
        const auto window = open({A, B, C});
        OverlayChart *chart = window->chart();
        QTRY_VERIFY(chart->lastPaintMicroseconds() > 0);
        const auto whole = chart->span();
        // B's 72 minutes, rounded out to the next 10-minute tick.
        QCOMPARE(whole, std::pair(0.0, 4800.0));
        const int y = chart->height() / 3;
        QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(chart->width() / 4, y));
        QTest::mouseMove(chart, QPoint(chart->width() / 2, y));
        QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(chart->width() / 2, y));
        const auto zoomed = chart->span();
        QVERIFY(zoomed.first > whole.first);
        QVERIFY(zoomed.second < whole.second);
        QVERIFY(zoomed.second - zoomed.first < (whole.second - whole.first) / 3);

        QTest::mousePress(chart, Qt::RightButton, {}, QPoint(chart->width() / 2, y));
        QTest::mouseMove(chart, QPoint(chart->width() / 4, y));
        QTest::mouseRelease(chart, Qt::RightButton, {}, QPoint(chart->width() / 4, y));
        const auto panned = chart->span();
        QVERIFY(panned.first > zoomed.first);
        QCOMPARE(panned.second - panned.first, zoomed.second - zoomed.first);

        QWheelEvent wheel(QPointF(chart->width() / 2, y), chart->mapToGlobal(QPointF(chart->width() / 2, y)), {},
            {0, 120}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(chart, &wheel);
        QVERIFY(chart->span().second - chart->span().first < panned.second - panned.first);

        QTest::mouseDClick(chart, Qt::LeftButton, {}, QPoint(chart->width() / 2, y));
        QCOMPARE(chart->span(), whole);
    }
};

QTEST_MAIN(TestCompareWindow)
#include "tst_comparewindow.moc"
