#include "ui/DialogFilter.h"
#include "ui/ResizeRules.h"

#include <QTest>

namespace {

// The initial layout, twips.
MainGeometry initial()
{
    MainGeometry g;
    g.stepGrid = QRect(6360, 1440, 14990, 4200);
    g.listView = QRect(240, 5880, 17975, 3860);
    g.measureFrame = QRect(18215, 5780, 3135, 3860);
    g.traceList = QRect(13000, 6280, 4815, 3460);
    g.stepTimeBox = QRect(19080, 270, 1140, 360);
    g.stepCountBox = QRect(20340, 270, 1000, 360);
    g.errorTrail = QRect(9000, 960, 12330, 330);
    return g;
}

} // namespace

class TestResizeRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void enlarging()
    {
        MainGeometry g = initial();
        ResizeRules::apply(g, 30000, 15000);
        QCOMPARE(g.stepGrid, QRect(6360, 1440, 30000 - 6360 - 400, 4200));
        QCOMPARE(g.measureFrame.left() + g.measureFrame.width(), 30000 - 400);
        QCOMPARE(g.measureFrame.top(), 5780);
        QCOMPARE(g.measureFrame.width(), 3135);
        QCOMPARE(g.listView, QRect(240, 5880, 30000 - 240 - 400 - 3135, 15000 - 5880 - 700));
        QCOMPARE(g.measureFrame.height(), g.listView.height());
        QCOMPARE(g.traceList.width(), 4815);
        QCOMPARE(g.traceList.left() + g.traceList.width(), g.listView.left() + g.listView.width() - 400);
        QCOMPARE(g.traceList.top(), g.listView.top() + 400);
        QCOMPARE(g.traceList.height(), g.listView.height() - 400);
    }

    // The boxes at the top right stay whole on a screen narrower than the window was drawn for
    // (1366 pixels at 15 twips each), and never slide over the sampling time's "ms" before them.
    void theTopRightBoxesKeepToTheRightEdge_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("countLeft");
        QTest::newRow("as drawn") << 21750 << 20340;
        QTest::newRow("1366 pixels") << 20490 << 20490 - 410 - 1000;
        QTest::newRow("wider") << 30000 << 30000 - 410 - 1000;
        QTest::newRow("too narrow for them") << 12000 << 13260 + 1140 + 121;
    }
    void theTopRightBoxesKeepToTheRightEdge()
    {
        QFETCH(int, width);
        QFETCH(int, countLeft);
        MainGeometry g = initial();
        ResizeRules::apply(g, width, 12000);
        QCOMPARE(g.stepCountBox, QRect(countLeft, 270, 1000, 360));
        QCOMPARE(g.stepTimeBox, QRect(countLeft - 121 - 1140 + 1, 270, 1140, 360));
        QVERIFY(g.stepTimeBox.left() >= 13260);
        QCOMPARE(g.errorTrail.left(), 9000);
        QCOMPARE(g.errorTrail.right(), std::max(10000, width - 420));
    }

    void narrowWindowKeepsWidths()
    {
        MainGeometry g = initial();
        const MainGeometry before = g;
        ResizeRules::apply(g, 6760, 12000);
        QCOMPARE(g.stepGrid, before.stepGrid);
        QCOMPARE(g.listView.width(), before.listView.width());
        QCOMPARE(g.traceList, before.traceList);
        QCOMPARE(g.listView.height(), 12000 - 5880 - 700);
        QCOMPARE(g.measureFrame.height(), g.listView.height());
        QCOMPARE(g.measureFrame.left(), 6760 - 3135 - 400);
    }

    void lowWindowNeverGivesNegativeHeights_data()
    {
        QTest::addColumn<int>("height");
        QTest::newRow("below the log") << 3000;
        QTest::newRow("between 600 and 700") << 5880 + 650;
    }
    void lowWindowNeverGivesNegativeHeights()
    {
        QFETCH(int, height);
        MainGeometry g = initial();
        ResizeRules::apply(g, 25000, height);
        QCOMPARE(g.listView.height(), 0);
        QCOMPARE(g.measureFrame.height(), 0);
        QCOMPARE(g.traceList.height(), 0);
        QCOMPARE(g.stepGrid.width(), 25000 - 6360 - 400);
    }

    void dialogFilters_data()
    {
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QString>("qt");
        QTest::newRow("names with patterns") << QString::fromUtf8("TSF檔(*.tsf)|*.tsf|所有檔案(*.*)|*.*")
                                             << QString::fromUtf8("TSF檔(*.tsf);;所有檔案(*.*)");
        QTest::newRow("plain names") << "Logs|*.csv;*.txt|All|*"
                                     << "Logs (*.csv *.txt);;All (*)";
    }
    void dialogFilters()
    {
        QFETCH(QString, pairs);
        QFETCH(QString, qt);
        QCOMPARE(DialogFilter::toQt(pairs), qt);
    }
};

QTEST_GUILESS_MAIN(TestResizeRules)
#include "tst_resizerules.moc"
