#include "device/RatingTable.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestRatingTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void builtInTableIsWellFormed()
    {
        const RatingTable table = RatingTable::builtIn();
        QCOMPARE(table.dashPrefix(), QStringLiteral("VRN"));
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Z]{3}$")).match(table.dashPrefix()).hasMatch());
        QVERIFY(table.entries().size() >= 30);
        const QRegularExpression modelNumber(QStringLiteral("^[0-9]{4,5}[ACEFG]?$"));
        for (const RatingTable::Entry &entry : table.entries()) {
            QVERIFY2(entry.rating >= 12 && entry.rating <= 2000, qPrintable(QString::number(entry.rating)));
            for (const QString &pattern : entry.patterns)
                QVERIFY2(modelNumber.match(pattern).hasMatch(), qPrintable(pattern));
        }
        QStringList problems;
        QFile file(QStringLiteral(":/data/rating-table.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        RatingTable::parse(QString::fromUtf8(file.readAll()), QStringLiteral("built-in"), &problems);
        QCOMPARE(problems, QStringList());
    }

    void builtInRatings_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("rating");
        QTest::newRow("virtual load's default model") << "6312C" << 60;
        QTest::newRow("within a longer reply") << "VORNIC 6312C V1.02" << 60;
        QTest::newRow("240 A") << "6324E" << 240;
        QTest::newRow("960 A rack") << "68096G" << 960;
        QTest::newRow("960 A cabinet") << "6696E" << 960;
        QTest::newRow("2000 A") << "6620E" << 2000;
        QTest::newRow("12 A") << "6210C" << 12;
        // Both model numbers occur; the entry that comes first in the table wins.
        QTest::newRow("first entry wins over first in the text") << "6324C/6312C" << 60;
        QTest::newRow("unknown model") << "9999Z" << 0;
        QTest::newRow("case matters") << "6312c" << 0;
        QTest::newRow("silent load") << "ErrRec" << 0;
    }
    void builtInRatings()
    {
        QFETCH(QString, model);
        QFETCH(int, rating);
        QCOMPARE(RatingTable::builtIn().ratingFor(model).value_or(0), rating);
    }

    void parsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("rating");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QStringList>("problems");
        QTest::newRow("comments and blanks") << "# head\n\n  60\t6312C   # the default\n"
                                             << "6312C" << 60 << "" << QStringList();
        QTest::newRow("several patterns") << "120 6314A 6314C\r\n"
                                          << "x6314C" << 120 << "" << QStringList();
        QTest::newRow("table order decides") << "60 6312\n120 6312C\n"
                                             << "6312C" << 60 << "" << QStringList();
        QTest::newRow("dash prefix") << "dash QRX\n60 1\n"
                                     << "1" << 60 << "QRX" << QStringList();
        QTest::newRow("bad lines left out")
            << "60\nabc 6312C\n0 6312C\n-5 6312C\n+7 6312C\ndash\ndash A B\ndash QRX\ndash QRY\n80 6312C\n"
            << "6312C" << 80 << "QRX"
            << QStringList{"t line 1: the rating 60 has no model number; the line is left out",
                   "t line 2: \"abc\" is not a rating in amperes (1 to 100000); the line is left out",
                   "t line 3: \"0\" is not a rating in amperes (1 to 100000); the line is left out",
                   "t line 4: \"-5\" is not a rating in amperes (1 to 100000); the line is left out",
                   "t line 5: \"+7\" is not a rating in amperes (1 to 100000); the line is left out",
                   "t line 6: \"dash\" takes one prefix; the line is left out",
                   "t line 7: \"dash\" takes one prefix; the line is left out",
                   "t line 9: the dash prefix is named twice; the line is left out"};
        QTest::newRow("fractional rating") << "7.5 6312C\n"
                                           << "6312C" << 0 << ""
                                           << QStringList{"t line 1: \"7.5\" is not a rating in amperes (1 to 100000); "
                                                          "the line is left out"};
    }
    void parsing()
    {
        QFETCH(QString, text);
        QFETCH(QString, model);
        QFETCH(int, rating);
        QFETCH(QString, prefix);
        QFETCH(QStringList, problems);
        QStringList found;
        const RatingTable table = RatingTable::parse(text, QStringLiteral("t"), &found);
        QCOMPARE(found, problems);
        QCOMPARE(table.ratingFor(model).value_or(0), rating);
        QCOMPARE(table.dashPrefix(), prefix);
    }

    // The rated voltage and power are optional columns between the current and the model
    // numbers; a table without them reads as before.
    void optionalColumns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("rating");
        QTest::addColumn<double>("voltage");
        QTest::addColumn<double>("power");
        QTest::addColumn<QStringList>("problems");
        const QStringList none;
        QTest::newRow("current alone, as before") << "60 6312C 6312A\n"
                                                  << "6312A" << 60 << 0.0 << 0.0 << none;
        QTest::newRow("voltage and power") << "60 80V 300W 6312C\n"
                                           << "6312C" << 60 << 80.0 << 300.0 << none;
        QTest::newRow("power first, decimals") << "60\t300.5W  80.5V\t6312C # bench 3\n"
                                               << "6312C" << 60 << 80.5 << 300.5 << none;
        QTest::newRow("voltage alone") << "60 150V 6312C\n"
                                       << "6312C" << 60 << 150.0 << 0.0 << none;
        QTest::newRow("power alone, the later of two lines") << "30 6303C\n60 600W 6312C\n"
                                                             << "6312C" << 60 << 0.0 << 600.0 << none;
        QTest::newRow("voltage of 0") << "60 0V 6312C\n"
                                      << "6312C" << 0 << 0.0 << 0.0
                                      << QStringList{"t line 1: \"0V\" is not a rated voltage (above 0 up to 100000 "
                                                     "V); the line is left out"};
        QTest::newRow("negative power") << "50 6312C\n60 -5W 6312C\n"
                                        << "6312C" << 50 << 0.0 << 0.0
                                        << QStringList{
                                               "t line 2: \"-5W\" is not a rated power (above 0 up to 100000000 "
                                               "W); the line is left out"};
        QTest::newRow("decimal comma") << "60 80,5V 6312C\n"
                                       << "6312C" << 0 << 0.0 << 0.0
                                       << QStringList{"t line 1: \"80,5V\" is not a rated voltage (above 0 up to "
                                                      "100000 V); the line is left out"};
        QTest::newRow("voltage named twice") << "60 80V 90V 6312C\n"
                                             << "6312C" << 0 << 0.0 << 0.0
                                             << QStringList{"t line 1: the rated voltage is named twice; the line is "
                                                            "left out"};
        QTest::newRow("no model number after them") << "60 80V 300W\n"
                                                    << "6312C" << 0 << 0.0 << 0.0
                                                    << QStringList{"t line 1: the rating 60 has no model number; the "
                                                                   "line is left out"};
    }
    void optionalColumns()
    {
        QFETCH(QString, text);
        QFETCH(QString, model);
        QFETCH(int, rating);
        QFETCH(double, voltage);
        QFETCH(double, power);
        QFETCH(QStringList, problems);
        QStringList found;
        const RatingTable table = RatingTable::parse(text, QStringLiteral("t"), &found);
        QCOMPARE(found, problems);
        const RatingTable::Entry *entry = table.entryFor(model);
        QCOMPARE(entry ? entry->rating : 0, rating);
        QCOMPARE(entry ? entry->voltage.value_or(0) : 0, voltage);
        QCOMPARE(entry ? entry->power.value_or(0) : 0, power);
        if (entry)
            QCOMPARE(entry->patterns.last(), model);
    }

    void placeholdersStayAsWritten_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem");
        QTest::newRow("in the file name") << "%0"
                                          << "C"
                                          << "%0 line 1: \"C\" is not a rating in amperes (1 to 100000); the line "
                                             "is left out";
        QTest::newRow("in the rating") << "t"
                                       << "%1 6312C"
                                       << "t line 1: \"%1\" is not a rating in amperes (1 to 100000); the line "
                                          "is left out";
    }
    void placeholdersStayAsWritten()
    {
        QFETCH(QString, source);
        QFETCH(QString, text);
        QFETCH(QString, problem);
        QStringList found;
        RatingTable::parse(text, source, &found);
        QCOMPARE(found, QStringList{problem});
    }

    void labTableComesFirst_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("rating");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("lab model") << "75 7075G\n"
                                   << "7075G" << 75 << "VRN";
        QTest::newRow("lab rerates a built-in model") << "50 6312C\n"
                                                      << "6312C" << 50 << "VRN";
        QTest::newRow("built-in still there") << "75 7075G\n"
                                              << "6324C" << 240 << "VRN";
        QTest::newRow("lab dash prefix") << "dash LAB\n"
                                         << "6312C" << 60 << "LAB";
    }
    void labTableComesFirst()
    {
        QFETCH(QString, text);
        QFETCH(QString, model);
        QFETCH(int, rating);
        QFETCH(QString, prefix);
        QTemporaryDir dir;
        QFile file(dir.filePath(RatingTable::FileName));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        file.close();
        QStringList problems;
        const RatingTable table = RatingTable::load(dir.path(), &problems);
        QCOMPARE(problems, QStringList());
        QCOMPARE(table.ratingFor(model).value_or(0), rating);
        QCOMPARE(table.dashPrefix(), prefix);
    }

    void unreadableLabTableIsSaid()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(RatingTable::FileName));
        QStringList problems;
        const RatingTable table = RatingTable::load(dir.path(), &problems);
        QCOMPARE(problems,
            QStringList{dir.filePath(RatingTable::FileName) + ": cannot be read; only the built-in table is used"});
        QCOMPARE(table.ratingFor(QStringLiteral("6312C")), std::optional<int>(60));
    }

    void withoutLabTable()
    {
        QTemporaryDir dir;
        QStringList problems;
        QCOMPARE(RatingTable::load(dir.path(), &problems).entries().size(), RatingTable::builtIn().entries().size());
        QCOMPARE(RatingTable::load(QString(), &problems).ratingFor(QStringLiteral("6312C")), std::optional<int>(60));
        QCOMPARE(problems, QStringList());
    }
};

QTEST_GUILESS_MAIN(TestRatingTable)
#include "tst_ratingtable.moc"
