#include "report/OverlayImage.h"
#include "report/RunColours.h"

#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

// The overlay as a picture: the format its file's name asks for, at the size asked for, and a
// name no format has refused with nothing written.
class TestOverlayImage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void written_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        // The format read back; "" when the picture is refused.
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("png") << "curves.png" << QSize(1600, 900) << QByteArray("png");
        QTest::newRow("jpeg by its suffix") << "curves.JPG" << QSize(800, 450) << QByteArray("jpeg");
        QTest::newRow("png without a suffix") << "curves" << QSize(1600, 900) << QByteArray("png");
        QTest::newRow("a suffix of no format") << "curves.nope" << QSize(1600, 900) << QByteArray();
    }
    void written()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QFETCH(QByteArray, format);
        ChartHistory history;
        history.stepStarted(1, QStringLiteral("Discharge"));
        for (int s = 0; s < 10; ++s) {
            Sample sample;
            sample.elapsedSeconds = s;
            sample.volts = 4 - 0.1 * s;
            history.add(sample);
        }
        const std::optional<OverlayCurve> curve = OverlayCurve::make(history, OverlayCurve::By::Seconds, std::nullopt);
        QVERIFY(curve);
        const QString path = m_dir.filePath(name);
        const QString error
            = OverlayImage::write({{&*curve, RunColours::of(0), QStringLiteral("run")}}, {}, path, size);
        if (format.isEmpty()) {
            QCOMPARE(error, QStringLiteral("%1: no picture format is named .nope").arg(path));
            QVERIFY(!QFile::exists(path));
            return;
        }
        QCOMPARE(error, QString());
        QImageReader reader(path);
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.read().size(), size);
    }
};

QTEST_MAIN(TestOverlayImage)
#include "tst_overlayimage.moc"
