#include "FaultSet.h"
#include "SimEngine.h"

#include <QtTest>

namespace {

SimConfig withSource(const QString &kind)
{
    SimConfig config;
    config.source = kind == QLatin1String("supply") ? SourceModel::supplyDefaults() : SourceModel::batteryDefaults();
    return config;
}

// Sends lines to the load and fails the test on any line the load does not know.
void send(SimEngine &engine, const QStringList &lines, SimInstrument instrument = SimInstrument::Load)
{
    for (const QString &line : lines) {
        const SimReply reply = engine.handleLine(instrument, line.toLatin1());
        QVERIFY2(reply.known, qPrintable(QStringLiteral("not understood: ") + line));
    }
}

QByteArray ask(SimEngine &engine, const char *query)
{
    const SimReply reply = engine.handleLine(SimInstrument::Load, query);
    return reply.text.value_or("(none)");
}

OperatingPoint measured(SimEngine &engine)
{
    const QList<QByteArray> fields = ask(engine, "MEAS:VC?").split(',');
    if (fields.size() != 2)
        return {-1, -1};
    return {fields[0].toDouble(), fields[1].toDouble()};
}

} // namespace

class TestSimEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answersName()
    {
        SimConfig config;
        config.model = "63640-80-80";
        SimEngine engine(config);
        QCOMPARE(ask(engine, "name?"), QByteArray("63640-80-80"));
        QCOMPARE(ask(engine, "NAME?"), QByteArray("63640-80-80"));
        QCOMPARE(engine.handleLine(SimInstrument::Generator, "*idn?").text.value_or(""),
            QByteArray("Vornic,VAFG-1,0001,1.0"));
    }

    void operatingPoint_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<double>("volts");
        QTest::addColumn<double>("amps");

        const auto on = [](const char *mode, const char *level) {
            return QStringList{QStringLiteral("MODE ") + QLatin1String(mode),
                QLatin1String(mode) + QStringLiteral(":HIGH ") + QLatin1String(level), "LOAD ON"};
        };
        // Battery: 12.6 V full, 0.05 Ohm. Supply: 12 V, 0.01 Ohm, 5 A limit.
        QTest::newRow("battery off") << "battery" << QStringList{"MODE CC", "CC:HIGH 2"} << 12.6 << 0.0;
        QTest::newRow("battery CC") << "battery" << on("CC", "2") << 12.5 << 2.0;
        QTest::newRow("battery CR") << "battery" << on("CR", "10") << 12.6 * 10 / 10.05 << 12.6 / 10.05;
        QTest::newRow("battery CV") << "battery" << on("CV", "12") << 12.0 << 12.0;
        QTest::newRow("battery CV above source") << "battery" << on("CV", "13") << 12.6 << 0.0;
        QTest::newRow("battery CP") << "battery" << on("CP", "25") << (12.6 + std::sqrt(12.6 * 12.6 - 0.2 * 25)) / 2
                                    << (12.6 - std::sqrt(12.6 * 12.6 - 0.2 * 25)) / 0.1;
        QTest::newRow("battery CC beyond rating") << "battery" << on("CC", "80") << 12.6 - 60 * 0.05 << 60.0;
        QTest::newRow("supply CC") << "supply" << on("CC", "2") << 11.98 << 2.0;
        QTest::newRow("supply CC above limit") << "supply" << on("CC", "6") << 0.0 << 5.0;
        QTest::newRow("supply CR") << "supply" << on("CR", "10") << 12 * 10 / 10.01 << 12 / 10.01;
        QTest::newRow("supply CR into limit") << "supply" << on("CR", "1") << 5.0 << 5.0;
        QTest::newRow("supply CV into limit") << "supply" << on("CV", "11") << 11.0 << 5.0;
        QTest::newRow("supply CP") << "supply" << on("CP", "24") << (12 + std::sqrt(144 - 0.04 * 24)) / 2
                                   << (12 - std::sqrt(144 - 0.04 * 24)) / 0.02;
        QTest::newRow("supply CP above limit") << "supply" << on("CP", "100") << 0.0 << 5.0;
        QTest::newRow("static uses the high level")
            << "supply" << QStringList{"MODE CC", "CC:HIGH 3", "CC:LOW 1", "LOAD ON"} << 11.97 << 3.0;
        QTest::newRow("load off") << "supply" << (on("CC", "2") << "LOAD OFF") << 12.0 << 0.0;
        QTest::newRow("CC with added CV floor")
            << "battery" << QStringList{"MODE CC", "CC:HIGH 30", "LIM:ADDCV:VOLT 12", "LIM:ADDCV ON"} << 12.0 << 12.0;
        QTest::newRow("CP with added CV floor")
            << "supply" << QStringList{"MODE CP", "CP:HIGH 200", "LIM:ADDCV:VOLT 11.5", "LIM:ADDCV ON"} << 11.5 << 5.0;
        QTest::newRow("external input from the generator")
            << "battery" << QStringList{"EXT:AIN ON", "CCR R2", "LDONV 0.5", "LDOFFV 0", "LOAD ON"} << 12.3 << 6.0;
    }

    void operatingPoint()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, lines);
        QFETCH(double, volts);
        QFETCH(double, amps);
        SimEngine engine(withSource(source));
        // A steady 1 V offset (6 A on a 60 A load) from the generator for the external-input row.
        send(engine, {"SOUR1:APPL:SIN 100,0,1", "OUTP ON"}, SimInstrument::Generator);
        send(engine, lines);
        const OperatingPoint p = measured(engine);
        QVERIFY2(std::abs(p.volts - volts) < 0.0015, qPrintable(QString::number(p.volts)));
        QVERIFY2(std::abs(p.amps - amps) < 0.0015, qPrintable(QString::number(p.amps)));
    }

    void measureReplyForm()
    {
        SimEngine engine(withSource("supply"));
        QCOMPARE(ask(engine, "MEAS:VC?"), QByteArray("12.000,0.000"));
        send(engine, {"MODE CC", "CC:HIGH 1.9994", "LOAD ON"});
        QCOMPARE(ask(engine, "MEAS:VC?"), QByteArray("11.980,1.999"));
    }

    void batteryRunsDown()
    {
        SimEngine engine;
        send(engine, {"MODE CC", "CC:HIGH 1", "LOAD ON"});
        engine.advance(3600 * 1000);
        // One hour at 1 A takes half of 2 Ah: halfway from 12.6 V to 10 V, less 0.05 V drop.
        QVERIFY(std::abs(engine.source().drawnAh() - 1.0) < 1e-6);
        QCOMPARE(measured(engine).volts, 11.25);
    }

    void protectionTest_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("trip");
        QTest::addColumn<QByteArray>("ng");

        const QStringList ocp{"TCONFIG OCP", "OCP:START 1", "OCP:STEP 0.1", "OCP:STOP 10", "VTH 1"};
        // The 5 A supply gives way at the first level above its limit.
        QTest::newRow("OCP within IL..IH") << (ocp + QStringList{"IH 10", "IL 3", "NGENABLE ON"}) << QByteArray("OCP?")
                                           << QByteArray("5.100") << QByteArray("0");
        QTest::newRow("OCP below IL") << (ocp + QStringList{"IH 10", "IL 6", "NGENABLE ON"}) << QByteArray("OCP?")
                                      << QByteArray("5.100") << QByteArray("1");
        QTest::newRow("OCP above IH") << (ocp + QStringList{"IH 5", "IL 1", "NGENABLE ON"}) << QByteArray("OCP?")
                                      << QByteArray("5.100") << QByteArray("1");
        QTest::newRow("OCP on the upper limit") << (ocp + QStringList{"IH 5.1", "IL 1", "NGENABLE ON"})
                                                << QByteArray("OCP?") << QByteArray("5.100") << QByteArray("0");
        QTest::newRow("OCP without NG checking")
            << (ocp + QStringList{"IH 5", "IL 1"}) << QByteArray("OCP?") << QByteArray("5.100") << QByteArray("0");
        QTest::newRow("OCP stop reached without a trip")
            << QStringList{"TCONFIG OCP", "OCP:START 1", "OCP:STEP 0.5", "OCP:STOP 4", "VTH 1", "IH 10", "IL 1",
                   "NGENABLE ON"}
            << QByteArray("OCP?") << QByteArray("0.000") << QByteArray("1");
        // 60 W would need 5.02 A from the supply, 55 W only 4.6 A.
        QTest::newRow("OPP") << QStringList{"TCONFIG OPP", "OPP:START 10", "OPP:STEP 5", "OPP:STOP 100", "VTH 1",
            "WH 70", "WL 50", "NGENABLE ON"}
                             << QByteArray("OPP?") << QByteArray("60.000") << QByteArray("0");
    }

    void protectionTest()
    {
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, trip);
        QFETCH(QByteArray, ng);
        SimEngine engine(withSource("supply"));
        send(engine, lines);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("0"));
        send(engine, {"START"});
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("1"));
        engine.advance(250);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("1"));
        QVERIFY(measured(engine).amps > 0);
        engine.advance(60 * 1000);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("0"));
        QCOMPARE(ask(engine, query.constData()), trip);
        QCOMPARE(ask(engine, "NG?"), ng);
        QCOMPARE(measured(engine).amps, 0.0);
        send(engine, {"STOP"});
    }

    void ocpRampTakesItsDwellPerLevel()
    {
        SimEngine engine(withSource("supply"));
        send(engine, {"TCONFIG OCP", "OCP:START 1", "OCP:STEP 0.1", "OCP:STOP 10", "VTH 1", "START"});
        // Levels 1.0 .. 5.1 are 42 levels of 100 ms each.
        engine.advance(4150);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("1"));
        QCOMPARE(ask(engine, "MEAS:VC?"), QByteArray("0.000,5.000"));
        engine.advance(100);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("0"));
    }

    void shortTestLastsItsTime()
    {
        SimEngine engine(withSource("supply"));
        send(engine, {"TCONFIG SHORT", "STIME 500", "START"});
        engine.advance(100);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("1"));
        QCOMPARE(ask(engine, "MEAS:VC?"), QByteArray("0.000,5.000"));
        engine.advance(399);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("1"));
        engine.advance(2);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("0"));
        QCOMPARE(ask(engine, "NG?"), QByteArray("0"));
        QCOMPARE(ask(engine, "MEAS:VC?"), QByteArray("12.000,0.000"));
    }

    void batteryDischarge_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<double>("expected");

        // 2 A pulls 0.1 V across 0.05 Ohm, so 11 V under load is 11.1 V open: 1.1 / 2.6 of 2 Ah left.
        QTest::newRow("CC to the voltage limit")
            << QStringList{"BATT:CURR 2", "BATT:UVP 11", "BATT:TIME 0", "BATT:AH 0", "BATT:TEST ON"}
            << QByteArray("BATT:RAH?") << 2 * (1 - 1.1 / 2.6);
        QTest::newRow("CC to the time limit")
            << QStringList{"BATT:CURR 2", "BATT:UVP 10.5", "BATT:TIME 600", "BATT:AH 0", "BATT:TEST ON"}
            << QByteArray("BATT:RAH?") << 2 * 600 / 3600.0;
        QTest::newRow("CC to the capacity limit")
            << QStringList{"BATT:CURR 3", "BATT:UVP 10", "BATT:TIME 0", "BATT:AH 0.5", "BATT:TEST ON"}
            << QByteArray("BATT:RAH?") << 0.5;
        QTest::newRow("CP to the energy limit")
            << QStringList{"BATT:POWER 24", "BATT:UVP 10", "BATT:TIME 0", "BATT:WH 5", "BATT:TEST ON"}
            << QByteArray("BATT:RWH?") << 5.0;
    }

    void batteryDischarge()
    {
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, query);
        QFETCH(double, expected);
        SimEngine engine;
        send(engine, lines);
        engine.advance(1000);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("1"));
        QVERIFY(measured(engine).amps > 1.9);
        engine.advance(4 * 3600 * 1000);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("0"));
        const double reply = ask(engine, query.constData()).toDouble();
        QVERIFY2(std::abs(reply - expected) < 0.002, qPrintable(QString::number(reply)));
        QCOMPARE(measured(engine).amps, 0.0);
    }

    void rampStepsUntilLoadOffVoltage()
    {
        SimEngine engine;
        send(engine,
            {"CC R2", "BATT:STEP 2", "BATT:CC0 1", "BATT:CC1 4", "BATT:DTIME1 60", "BATT:CC2 8", "BATT:DTIME2 60",
                "LDOFFV 11.5", "BATT:UVP 11.5", "BATT:REPEAT 0", "BATT:RAMP:CC ON"});
        engine.advance(30 * 1000);
        QCOMPARE(measured(engine).amps, 4.0);
        engine.advance(60 * 1000);
        QCOMPARE(measured(engine).amps, 8.0);
        engine.advance(60 * 1000);
        QCOMPARE(measured(engine).amps, 4.0);
        engine.advance(2 * 3600 * 1000);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("0"));
        const double end = ask(engine, "BATT:RVOLT?").toDouble();
        QVERIFY2(end <= 11.5 && end > 11.3, qPrintable(QString::number(end)));
    }

    void rampEndsAfterItsRepeats()
    {
        SimEngine engine(withSource("supply"));
        send(engine,
            {"BATT:STEP 2", "BATT:CC1 1", "BATT:DTIME1 10", "BATT:CC2 2", "BATT:DTIME2 10", "LDOFFV 5", "BATT:UVP 5",
                "BATT:REPEAT 2", "BATT:RAMP:CC ON"});
        engine.advance(39 * 1000);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("1"));
        engine.advance(2 * 1000);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("0"));
        QCOMPARE(ask(engine, "BATT:RVOLT?"), QByteArray("11.980"));
    }

    void cycleLifeAlternatesUntilLoadOffVoltage()
    {
        SimEngine engine;
        send(engine,
            {"BATT:CCH1 3", "BATT:CCL1 1", "BATT:TH1 10", "BATT:TL1 10", "BATT:CYCLE1 2", "BATT:CCH2 5", "BATT:CCL2 0",
                "BATT:TH2 5", "BATT:TL2 5", "BATT:CYCLE2 1", "LDOFFV 11", "BATT:UVP 11", "BATT:REPEAT 0",
                "BATT:DYN ON"});
        const QList<std::pair<double, double>> expected{{5, 3}, {10, 1}, {10, 3}, {10, 1}, {7, 5}, {5, 0}, {5, 3}};
        for (const auto &[advanceS, amps] : expected) {
            engine.advance(advanceS * 1000);
            QCOMPARE(measured(engine).amps, amps);
        }
        engine.advance(4 * 3600 * 1000);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("0"));
        QVERIFY(ask(engine, "BATT:RVOLT?").toDouble() < 11);
    }

    void sequenceRunsItsLevelsAndRepeats()
    {
        SimEngine engine(withSource("supply"));
        send(engine,
            {"SEQLD:TEST OFF", "REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP 2", "SEQLD:CC0 1", "SEQLD:TIME0 100",
                "SEQLD:CC1 2", "SEQLD:TIME1 200", "VTH 1", "SEQLD:REPEAT 3", "SEQLD:TEST ON"});
        engine.advance(50);
        QCOMPARE(measured(engine).amps, 1.0);
        engine.advance(100);
        QCOMPARE(measured(engine).amps, 2.0);
        engine.advance(200);
        QCOMPARE(measured(engine).amps, 1.0);
        engine.advance(540);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("1"));
        engine.advance(20);
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("0"));
    }

    void sequenceStopsOnCommand()
    {
        SimEngine engine(withSource("supply"));
        send(engine,
            {"SEQLD:TYPE CP", "SEQLD:TOTSTEP 1", "SEQLD:CP0 12", "SEQLD:TIME0 1000", "SEQLD:REPEAT 5",
                "SEQLD:TEST ON"});
        engine.advance(500);
        QVERIFY(std::abs(measured(engine).amps - 1.0) < 0.002);
        send(engine, {"SEQLD:TEST OFF"});
        QCOMPARE(ask(engine, "TESTING?"), QByteArray("0"));
        QCOMPARE(measured(engine).amps, 0.0);
    }

    void dynamicAlternatesWithSlewAndAveragesTheDrain()
    {
        SimEngine engine;
        send(engine,
            {"MODE CC", "CC:HIGH 4", "CC:LOW 1", "PERD:HIGH 10", "PERD:LOW 30", "RISE 0.1", "FALL 10", "LOAD ON",
                "DYN ON"});
        engine.advance(5);
        // 5 ms into the high level at 0.1 A/ms from 1 A.
        QVERIFY(std::abs(measured(engine).amps - 1.5) < 0.002);
        engine.advance(20);
        QCOMPARE(measured(engine).amps, 1.0);
        send(engine, {"RISE 0"});
        engine.advance(3600 * 1000 - 25 + 5);
        QCOMPARE(measured(engine).amps, 4.0);
        // Averaged over the period: 10 ms at 4 A and 30 ms at 1 A.
        QVERIFY2(
            std::abs(engine.source().drawnAh() - 1.75) < 0.02, qPrintable(QString::number(engine.source().drawnAh())));
        send(engine, {"DYN OFF"});
        QCOMPARE(measured(engine).amps, 4.0);
    }

    void generatorTakesTheWaveformCommands()
    {
        SimEngine engine;
        send(engine,
            {"REM", "SOUR1:APPL:PULS 1000,0,5", "SOUR1:PULS:WIDT 500us", "SOUR1:PULS:DCYC 50", "SOUR1:PULS:EGDE 10us",
                "SOUR1:PULS:RISE 10us", "SOUR1:PULS:FALL 20us", "OUTP ON"},
            SimInstrument::Generator);
        const GeneratorModel &g = engine.generator();
        QCOMPARE(g.shape(), GeneratorModel::Shape::Pulse);
        QCOMPARE(g.frequency(), 1000.0);
        QCOMPARE(g.high(), 5.0);
        QCOMPARE(g.widthUs(), 500.0);
        QCOMPARE(g.edgeUs(), 10.0);
        QCOMPARE(g.fallUs(), 20.0);
        QCOMPARE(g.levelAt(0.0001), 5.0);
        QCOMPARE(g.levelAt(0.0006), 0.0);
        send(engine, {"OUTP OFF"}, SimInstrument::Generator);
        QCOMPARE(g.levelAt(0.0001), 0.0);
    }

    // Every line the program sends must be one the instruments understand; the rest are marked.
    void lineIsKnown_data()
    {
        QTest::addColumn<int>("instrument");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("known");
        const int load = static_cast<int>(SimInstrument::Load);
        const int gen = static_cast<int>(SimInstrument::Generator);
        const QList<QByteArray> loadLines{"REM", "name?", "MEAS:VC?", "TESTING?", "NG?", "OCP?", "OPP?", "BATT:RAH?",
            "BATT:RWH?", "BATT:RVOLT?", "LOAD ON", "LOAD OFF", "STOP", "MODE CR", "CR:HIGH 10", "CR:LOW 10",
            "CV:HIGH 12", "CP:LOW 2.5", "TCONFIG SHORT", "STIME 0.1235", "START", "TCONFIG OCP", "OCP:START 0",
            "OCP:STEP 0.1", "OCP:STOP 10", "VTH 0.6", "IH 10", "IL 3", "NGENABLE ON", "TCONFIG OPP", "OPP:START 0",
            "OPP:STEP 1", "OPP:STOP 100", "WH 100", "WL 10", "PERD:HIGH 10", "PERD:LOW 10", "RISE 0.5", "FALL 0.5",
            "DYN ON", "DYN OFF", "CC R2", "BATT:STEP 3", "BATT:CC0 1.5", "BATT:CC1 1", "BATT:DTIME1 10", "BATT:CC9 2",
            "BATT:DTIME9 5", "LDOFFV 10.5", "BATT:UVP 10.5", "BATT:REPEAT 1", "BATT:RAMP:CC ON", "SEQLD:TEST OFF",
            "SEQLD:TYPE CC", "SEQLD:TOTSTEP 2", "SEQLD:CC0 1", "SEQLD:TIME0 100", "SEQLD:CC15 1", "SEQLD:TIME15 100",
            "SEQLD:REPEAT 10", "SEQLD:TEST ON", "LIM:ADDCV:VOLT 12", "LIM:ADDCV ON", "BATT:CURR 2", "BATT:UVP 10.5",
            "BATT:TIME 3600", "BATT:AH 2", "BATT:TEST ON", "BATT:POWER 20", "BATT:WH 20", "BATT:CCH1 3", "BATT:CCL1 1",
            "BATT:TH1 10", "BATT:TL1 10", "BATT:CYCLE1 5", "BATT:DYN ON", "EXT:AIN ON", "CCR R2", "LDONV 0.5",
            "LDOFFV 0", "CC:HIGH 0.0010", "MODE CC"};
        for (const QByteArray &line : loadLines)
            QTest::newRow(line.constData()) << load << line << true;
        const QList<QByteArray> generatorLines{"REM", "*idn?", "SOUR1:APPL:SIN 100,5,2.5", "OUTP ON",
            "SOUR1:APPL:PULS 1000,0,5", "SOUR1:PULS:WIDT 500us", "SOUR1:PULS:DCYC 50", "SOUR1:PULS:EGDE 10us",
            "SOUR1:PULS:RISE 10us", "SOUR1:PULS:FALL 20us", "OUTP OFF"};
        for (const QByteArray &line : generatorLines)
            QTest::newRow(("gen " + line).constData()) << gen << line << true;
        const QList<QByteArray> unknown{"FOO", "", "CC:HIGH", "CC:HIGH abc", "CC:HIGH 1A", "MODE XX", "LOAD MAYBE",
            "BATT:CC1", "name? now", "TCONFIG FOO", "CC R9", "SEQLD:CP0 1", "SOUR1:APPL:SIN 100,5", "*idn?",
            "BATT:REPEAT 1.5", "VTH nan"};
        for (const QByteArray &line : unknown)
            QTest::newRow(("unknown " + line).constData()) << load << line << false;
        QTest::newRow("unknown gen FOO") << gen << QByteArray("FOO") << false;
        QTest::newRow("unknown gen load line") << gen << QByteArray("LOAD ON") << false;
        QTest::newRow("unknown gen duty over 100") << gen << QByteArray("SOUR1:PULS:DCYC 150") << false;
    }

    void lineIsKnown()
    {
        QFETCH(int, instrument);
        QFETCH(QByteArray, line);
        QFETCH(bool, known);
        SimEngine engine;
        const SimReply reply = engine.handleLine(static_cast<SimInstrument>(instrument), line);
        QCOMPARE(reply.known, known);
        // Unknown lines get no answer, and settings get none either.
        if (!known || !line.endsWith('?'))
            QVERIFY(!reply.text);
    }

    void faultText_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QList<int>>("values"); // silent, delay, split, garbage, drop

        QTest::newRow("one") << QStringList{"delay=200"} << true << QList<int>{0, 200, 0, 0, 0};
        QTest::newRow("comma list") << QStringList{"silent-after=3,split=4"} << true << QList<int>{3, 0, 4, 0, 0};
        QTest::newRow("repeated option") << QStringList{"garbage-every=2", "drop-after=7"} << true
                                         << QList<int>{0, 0, 0, 2, 7};
        QTest::newRow("unknown name") << QStringList{"explode=1"} << false << QList<int>{};
        QTest::newRow("no value") << QStringList{"delay"} << false << QList<int>{};
        QTest::newRow("zero") << QStringList{"split=0"} << false << QList<int>{};
        QTest::newRow("not a number") << QStringList{"delay=soon"} << false << QList<int>{};
    }

    void faultText()
    {
        QFETCH(QStringList, items);
        QFETCH(bool, valid);
        QFETCH(QList<int>, values);
        FaultSet faults;
        QString error;
        bool ok = true;
        for (const QString &item : items)
            ok = ok && faults.add(item, &error);
        QCOMPARE(ok, valid);
        if (!valid) {
            QVERIFY(error.contains(items.last().section(QLatin1Char(','), -1)));
            return;
        }
        QCOMPARE(
            (QList<int>{faults.silentAfter, faults.delayMs, faults.splitPieces, faults.garbageEvery, faults.dropAfter}),
            values);
    }
};

QTEST_GUILESS_MAIN(TestSimEngine)
#include "tst_simengine.moc"
