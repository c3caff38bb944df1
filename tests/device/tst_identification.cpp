#include "FakeLink.h"
#include "device/Identification.h"
#include "device/ModelCapabilities.h"
#include "model/FunctionCatalog.h"

#include <QSignalSpy>
#include <QTest>

namespace {

using namespace FunctionCatalog;

// The base functions offered besides the ten that are always there, by catalogue index.
QStringList offered(std::initializer_list<int> extra, bool generator = false)
{
    QList<int> indexes = {Discharge, Rest, For, Loop, Short, Ocp, Opp, Dynamic, Normal, DynamicOff};
    indexes += QList<int>(extra);
    std::sort(indexes.begin(), indexes.end());
    QStringList names;
    for (int index : indexes)
        names.append(name(index));
    if (generator)
        names << name(SineWaveDynamic) << name(CcDynamicSweep);
    return names;
}

const std::initializer_list<int> AllBattery = {BatteryRamp, BatteryCcCv, BatteryCpCv, BatteryDischargeCc,
    BatteryDischargeCp, BatteryCycleLife, CvCurrentLimit, CvPowerLimit, SequenceLoad};

} // namespace

class TestIdentification : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void availability_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QStringList>("functions");
        QTest::newRow("silent load") << "ErrRec" << offered({});
        QTest::newRow("C series") << "6312C" << offered(AllBattery);
        QTest::newRow("E series") << "6314E"
                                  << offered({BatteryRamp, BatteryCcCv, BatteryCpCv, BatteryDischargeCc,
                                         BatteryDischargeCp, BatteryCycleLife, CvCurrentLimit, CvPowerLimit});
        QTest::newRow("A series") << "6301A"
                                  << offered({BatteryRamp, BatteryCcCv, BatteryCpCv, BatteryDischargeCc,
                                         BatteryDischargeCp, BatteryCycleLife, CvCurrentLimit, CvPowerLimit});
        QTest::newRow("G series") << "68096G" << offered(AllBattery);
        QTest::newRow("F series") << "63103F" << offered({});
        QTest::newRow("no series letter")
            << "5050" << offered({BatteryDischargeCc, BatteryDischargeCp, BatteryCycleLife});
        QTest::newRow("lower-case letter counts as none")
            << "6312c" << offered({BatteryDischargeCc, BatteryDischargeCp, BatteryCycleLife});
        QTest::newRow("G with 33: no ramp")
            << "6336G"
            << offered({BatteryCcCv, BatteryCpCv, BatteryDischargeCc, BatteryDischargeCp, BatteryCycleLife,
                   CvCurrentLimit, CvPowerLimit, SequenceLoad});
        QTest::newRow("G with 331: no ramp, no sequence")
            << "63310G"
            << offered({BatteryCcCv, BatteryCpCv, BatteryDischargeCc, BatteryDischargeCp, BatteryCycleLife,
                   CvCurrentLimit, CvPowerLimit});
        QTest::newRow("C with 331: ramp, no sequence")
            << "6331C"
            << offered({BatteryRamp, BatteryCcCv, BatteryCpCv, BatteryDischargeCc, BatteryDischargeCp, BatteryCycleLife,
                   CvCurrentLimit, CvPowerLimit});
        QTest::newRow("C and F") << "6312CF"
                                 << offered({BatteryRamp, BatteryCcCv, BatteryCpCv, CvCurrentLimit, CvPowerLimit,
                                        SequenceLoad});
        QTest::newRow("ErrRec with a generator") << "ErrRec + AFG1022" << offered({});
        // The generator's model text takes part: its G and F count as the load's would.
        QTest::newRow("generator model takes part")
            << "5050 + AFG1022"
            << offered({BatteryRamp, BatteryCcCv, BatteryCpCv, CvCurrentLimit, CvPowerLimit, SequenceLoad});
    }
    void availability()
    {
        QFETCH(QString, model);
        QFETCH(QStringList, functions);
        QCOMPARE(ModelCapabilities::of(model, false).offeredFunctions(), functions);
        const QStringList withGenerator = functions + QStringList{name(SineWaveDynamic), name(CcDynamicSweep)};
        QCOMPARE(ModelCapabilities::of(model, true).offeredFunctions(), withGenerator);
    }

    // Each row runs after an identification of a 240 A model, so "keeps its value" shows as 240.
    void identification_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("afg");
        QTest::addColumn<QString>("idn");
        QTest::addColumn<QString>("nameLabel");
        QTest::addColumn<QString>("rated");
        QTest::addColumn<QString>("aMax");
        QTest::addColumn<QStringList>("functions");
        QTest::addColumn<QStringList>("generatorSent");

        QTest::newRow("known model") << "6312C" << 0 << ""
                                     << "6312C"
                                     << "60"
                                     << "60" << offered(AllBattery) << QStringList();
        QTest::newRow("first table entry wins") << "6324C 6312C" << 0 << ""
                                                << "6324C 6312C"
                                                << "60"
                                                << "60" << offered(AllBattery) << QStringList();
        QTest::newRow("unknown model keeps the rating")
            << "9999Z" << 0 << ""
            << "9999Z"
            << "240"
            << "240" << offered({BatteryDischargeCc, BatteryDischargeCp, BatteryCycleLife}) << QStringList();
        QTest::newRow("dash family") << "VRN-7000Q-100-250" << 0 << ""
                                     << "VRN-7000Q-100-250"
                                     << "250"
                                     << "250" << offered({BatteryDischargeCc, BatteryDischargeCp, BatteryCycleLife})
                                     << QStringList();
        QTest::newRow("dash family leading number")
            << "VRN-7000Q-100-62.50A-x" << 0 << ""
            << "VRN-7000Q-100-62.50A-x"
            << "62.5"
            << "62.5"
            << offered({BatteryRamp, BatteryCcCv, BatteryCpCv, BatteryDischargeCc, BatteryDischargeCp, BatteryCycleLife,
                   CvCurrentLimit, CvPowerLimit})
            << QStringList();
        QTest::newRow("dash family too few fields")
            << "VRN-7000Q-100" << 1 << "Maker,AFG1022,1,1"
            << "VRN-7000Q-100"
            << "240"
            << "240" << offered({BatteryDischargeCc, BatteryDischargeCp, BatteryCycleLife}, true) << QStringList();
        // No rating is shown beside a load that did not answer.
        QTest::newRow("silent load") << "ErrRec" << 0 << ""
                                     << "ErrRec"
                                     << "240"
                                     << "" << offered({}) << QStringList();
        QTest::newRow("silent load, generator answers") << "ErrRec" << 1 << "Maker,Model,Serial,Version"
                                                        << "ErrRec + Model"
                                                        << "240"
                                                        << "" << offered({}, true) << QStringList{"*idn?"};
        QTest::newRow("generator model appended")
            << "5050" << 1 << "Maker,AFG1022,Serial,Version"
            << "5050 + AFG1022"
            << "50"
            << "50"
            << offered({BatteryRamp, BatteryCcCv, BatteryCpCv, CvCurrentLimit, CvPowerLimit, SequenceLoad}, true)
            << QStringList{"*idn?"};
        // A reply without "," stops identification: the label stays without it and the rated
        // current label is not brought up to date, though the rated current itself is.
        QTest::newRow("silent generator") << "6312C" << 1 << "ErrRec"
                                          << "6312C"
                                          << "60"
                                          << "240" << offered(AllBattery, true) << QStringList{"*idn?"};
        QTest::newRow("empty generator reply") << "6312C" << 1 << ""
                                               << "6312C"
                                               << "60"
                                               << "240" << offered(AllBattery, true) << QStringList{"*idn?"};
        QTest::newRow("generator not enabled") << "6312C" << 0 << "Maker,Model,1,1"
                                               << "6312C"
                                               << "60"
                                               << "60" << offered(AllBattery) << QStringList();
    }
    void identification()
    {
        QFETCH(QString, name);
        QFETCH(int, afg);
        QFETCH(QString, idn);
        QFETCH(QString, nameLabel);
        QFETCH(QString, rated);
        QFETCH(QString, aMax);
        QFETCH(QStringList, functions);
        QFETCH(QStringList, generatorSent);

        FakeLink load;
        FakeLink generator;
        load.queueReplies(QStringLiteral("name?"), {QStringLiteral("6324C"), name});
        generator.setReply(QStringLiteral("*idn?"), idn);
        Identification identification(load);
        identification.setGeneratorLink(&generator);
        int afgEnable = 0;
        identification.setAFGEnable([&] { return afgEnable; });
        identification.identifyWhenFree();
        QCOMPARE(identification.RatedCurrent(), QStringLiteral("240"));

        afgEnable = afg;
        QSignalSpy functionsSpy(&identification, &Identification::offeredFunctionsChanged);
        identification.identifyWhenFree();
        QCOMPARE(identification.ModelName(), name);
        QCOMPARE(identification.NameLabel(), nameLabel);
        QCOMPARE(identification.RatedCurrent(), rated);
        QCOMPARE(identification.AMaxLabel(), aMax);
        QCOMPARE(identification.offeredFunctions(), functions);
        QCOMPARE(functionsSpy.size(), 1);
        QCOMPARE(load.sent(), (QStringList{"name?", "name?"}));
        QCOMPARE(load.connects(), 2);
        QCOMPARE(generator.sent(), generatorSent);
        QCOMPARE(generator.connects(), afg);
    }

    // What the step judge is given: the ratings found for the model that answered, and none where
    // the shown rating is only an earlier model's.
    void ratingsForTheJudge_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("labTable");
        QTest::addColumn<double>("amps");
        QTest::addColumn<double>("volts");
        QTest::addColumn<double>("watts");
        QTest::newRow("built-in entry: current alone") << "6312C"
                                                       << "" << 60.0 << 0.0 << 0.0;
        QTest::newRow("lab entry with voltage and power") << "6312C"
                                                          << "60 80V 300W 6312C\n"
                                                          << 60.0 << 80.0 << 300.0;
        QTest::newRow("dash family: voltage and current") << "VRN-7000Q-100-250"
                                                          << "" << 250.0 << 100.0 << 0.0;
        QTest::newRow("unknown model keeps the shown rating only") << "9999Z"
                                                                   << "" << 0.0 << 0.0 << 0.0;
        QTest::newRow("silent load") << "ErrRec"
                                     << "" << 0.0 << 0.0 << 0.0;
    }
    void ratingsForTheJudge()
    {
        QFETCH(QString, name);
        QFETCH(QString, labTable);
        QFETCH(double, amps);
        QFETCH(double, volts);
        QFETCH(double, watts);
        FakeLink load;
        load.queueReplies(QStringLiteral("name?"), {QStringLiteral("6324C"), name});
        Identification identification(
            load, RatingTable::parse(labTable, QStringLiteral("lab")).followedBy(RatingTable::builtIn()));
        identification.identifyWhenFree();
        QCOMPARE(identification.ratings().current, std::optional<double>(240));
        identification.identifyWhenFree();
        const auto known = [](double value) { return value > 0 ? std::optional<double>(value) : std::nullopt; };
        QCOMPARE(identification.ratings(), (LoadRatings{known(amps), known(volts), known(watts)}));
    }

    void summaryLines()
    {
        FakeLink load;
        FakeLink generator;
        load.setReply(QStringLiteral("name?"), QStringLiteral("63103F"));
        generator.setReply(QStringLiteral("*idn?"), QStringLiteral("Maker,AFG1022,1,1"));
        Identification identification(load);
        identification.setGeneratorLink(&generator);
        identification.setAFGEnable([] { return 1; });
        identification.identifyWhenFree();
        QCOMPARE(identification.summaryLines(),
            (QStringList{"Model: 63103F + AFG1022", "Rated current: 60",
                "Functions: Discharge, Rest, FOR, LOOP, Short, OCP, OPP, Dynamic, Normal, Battery RAMP, "
                "Battery CC+CV, Battery CP+CV, CV with Current Limit, CV with Power Limit, Dynamic Off, "
                "Sequence Load, Sine Wave Dynamic, CC Dynamic Sweep"}));
    }

    void changeSignals()
    {
        FakeLink load;
        load.setReply(QStringLiteral("name?"), QStringLiteral("6312C"));
        Identification identification(load);
        QSignalSpy nameSpy(&identification, &Identification::NameLabelChanged);
        QSignalSpy ratedSpy(&identification, &Identification::RatedCurrentChanged);
        QSignalSpy aMaxSpy(&identification, &Identification::AMaxLabelChanged);
        identification.identifyWhenFree();
        // The label reads "ErrRec" while the load is asked.
        QCOMPARE(nameSpy.size(), 2);
        QCOMPARE(nameSpy.at(0).at(0).toString(), ErrRec);
        QCOMPARE(nameSpy.at(1).at(0).toString(), QStringLiteral("6312C"));
        QCOMPARE(ratedSpy.size(), 1);
        QCOMPARE(aMaxSpy.size(), 1);
    }

    void eachRequestGivesOneIdentification()
    {
        FakeLink load;
        load.setReply(QStringLiteral("name?"), QStringLiteral("6312C"));
        Identification identification(load);
        QSignalSpy done(&identification, &Identification::identified);
        identification.requestIdentification();
        identification.requestIdentification();
        QVERIFY(identification.isIdentificationRequested());
        QVERIFY(done.wait(30000));
        QCOMPARE(load.sent(), QStringList{"name?"});
        // With no request left nothing is left that could identify again.
        QVERIFY(!identification.isIdentificationRequested());
        QCOMPARE(done.size(), 1);
    }

    // A request made and due while a reply is awaited: served after, not inside.
    void noIdentificationInsideAnother()
    {
        FakeLink load;
        load.setReply(QStringLiteral("name?"), QStringLiteral("6312C"));
        Identification identification(load);
        QSignalSpy done(&identification, &Identification::identified);
        bool nested = false;
        load.onSend([&](const QString &) {
            if (!std::exchange(nested, true))
                identification.identifyWhenFree();
        });
        identification.identifyWhenFree();
        QCOMPARE(done.size(), 1);
        QCOMPARE(load.sent(), QStringList{"name?"});
        QVERIFY(identification.isIdentificationRequested());
        QVERIFY(done.wait(30000));
        QCOMPARE(load.sent(), (QStringList{"name?", "name?"}));
    }
};

QTEST_GUILESS_MAIN(TestIdentification)
#include "tst_identification.moc"
