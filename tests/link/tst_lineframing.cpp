#include "link/LineFraming.h"

#include <QTest>

Q_DECLARE_METATYPE(LineFraming::Line)

using Lines = QList<LineFraming::Line>;

namespace {

LineFraming::Line line(const QByteArray &text) { return {text, false}; }
const LineFraming::Line Cut{{}, true};

} // namespace

class TestLineFraming : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A serial or GPIB read gives one reply, never a blank one and never two lines in one.
    void replyOfARead_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("a lone LF") << QByteArray("\n") << QByteArray();
        QTest::newRow("a lone CR") << QByteArray("\r") << QByteArray();
        QTest::newRow("a blank line") << QByteArray("\r\n") << QByteArray();
        QTest::newRow("ended by CR") << QByteArray("12.5,1.0\r") << QByteArray("12.5,1.0");
        QTest::newRow("ended by LF") << QByteArray("12.5,1.0\n") << QByteArray("12.5,1.0");
        QTest::newRow("ended by CR LF") << QByteArray("12.5,1.0\r\n") << QByteArray("12.5,1.0");
        QTest::newRow("not ended") << QByteArray("12.5,1.0") << QByteArray("12.5,1.0");
        QTest::newRow("a late reply ahead") << QByteArray("1.0,0.5\r\n12.5,1.0\r\n") << QByteArray("12.5,1.0");
        QTest::newRow("a late reply ahead, by CR") << QByteArray("1.0,0.5\r12.5,1.0\r") << QByteArray("12.5,1.0");
        QTest::newRow("the longest line") << QByteArray(1024, '7') + "\r\n" << QByteArray(1024, '7');
        QTest::newRow("a line too long") << QByteArray(1025, '7') + "\r\n" << QByteArray();
        QTest::newRow("a line too long, not ended") << QByteArray(1025, '7') << QByteArray();
        QTest::newRow("a line too long, then a reply") << QByteArray(2000, '7') + "\n12.5,1.0\n"
                                                       << QByteArray("12.5,1.0");
    }
    void replyOfARead()
    {
        QFETCH(QByteArray, received);
        QFETCH(QByteArray, reply);
        const std::optional<QByteArray> got = LineFraming::reply(received);
        QCOMPARE(got.has_value(), !reply.isEmpty());
        QCOMPARE(got.value_or(QByteArray()), reply);
    }

    // A stream cut into lines: each of CR, LF and CR LF ends one, however the pieces fall; a line
    // past the longest is said at once, and dropped to its end, holding no more than the longest.
    void linesOfAStream_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<Lines>("lines");
        QTest::addColumn<QByteArray>("unfinished");
        QTest::newRow("CR LF") << QList<QByteArray>{"A\r\nB\r\n"} << Lines{line("A"), line("B")} << QByteArray();
        QTest::newRow("CR") << QList<QByteArray>{"A\rB\r"} << Lines{line("A"), line("B")} << QByteArray();
        QTest::newRow("LF") << QList<QByteArray>{"A\nB\n"} << Lines{line("A"), line("B")} << QByteArray();
        QTest::newRow("CR LF apart") << QList<QByteArray>{"A\r", "\nB\r", "\n"} << Lines{line("A"), line("B")}
                                     << QByteArray();
        QTest::newRow("blank lines left out")
            << QList<QByteArray>{"\r\n\n\rA\n\r\n"} << Lines{line("A")} << QByteArray();
        QTest::newRow("a line begun") << QList<QByteArray>{"A\r\n12.", "5"} << Lines{line("A")} << QByteArray("12.5");
        QTest::newRow("the longest line in pieces")
            << QList<QByteArray>{QByteArray(1000, 'x'), QByteArray(24, 'y'), "\r"}
            << Lines{line(QByteArray(1000, 'x') + QByteArray(24, 'y'))} << QByteArray();
        QTest::newRow("one byte too many") << QList<QByteArray>{QByteArray(1000, 'x'), QByteArray(25, 'y'), "\r\nOK\r"}
                                           << Lines{Cut, line("OK")} << QByteArray();
        QTest::newRow("ten megabytes without an end")
            << QList<QByteArray>(160, QByteArray(64 * 1024, '1')) << Lines{Cut} << QByteArray();
        QTest::newRow("the end of a long line comes later") << QList<QByteArray>{QByteArray(4000, '1'), "1,2",
            "\r\n12.5,1\r\n"} << Lines{Cut, line("12.5,1")} << QByteArray();
    }
    void linesOfAStream()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(Lines, lines);
        QFETCH(QByteArray, unfinished);
        LineFraming framing;
        Lines taken;
        for (const QByteArray &piece : pieces) {
            taken += framing.take(piece);
            QVERIFY(framing.unfinished().size() <= LineFraming::MaxLineBytes);
        }
        QCOMPARE(taken, lines);
        QCOMPARE(framing.unfinished(), unfinished);
    }

    // A line under way when a question goes out began before it: its bytes up to its end are no
    // answer; a stream between lines is left as it is.
    void aLineUnderWayIsDropped_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<Lines>("lines");
        QTest::newRow("half a late reply") << QByteArray("12.") << QByteArray("5,1\r\n13,2\r\n") << Lines{line("13,2")};
        QTest::newRow("between lines") << QByteArray("12.5,1\r\n") << QByteArray("13,2\r\n") << Lines{line("13,2")};
        QTest::newRow("after a CR, its LF to come")
            << QByteArray("12.5,1\r") << QByteArray("\n13,2\r\n") << Lines{line("13,2")};
        QTest::newRow("inside a line too long")
            << QByteArray(2000, '1') << QByteArray("1,2\r13,2\r") << Lines{line("13,2")};
    }
    void aLineUnderWayIsDropped()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(Lines, lines);
        LineFraming framing;
        framing.take(before);
        framing.dropLineUnderWay();
        QVERIFY(framing.unfinished().isEmpty());
        QCOMPARE(framing.take(after), lines);
        QVERIFY(framing.betweenLines());
    }
};

QTEST_GUILESS_MAIN(TestLineFraming)
#include "tst_lineframing.moc"
