#include "FakeClock.h"
#include "FakeLink.h"
#include "commands/GeneratorCommands.h"
#include "commands/LoadCommands.h"
#include "link/CancelToken.h"
#include "model/StepValues.h"
#include "run/PlanSender.h"

#include <QCoro/QCoroTask>

#include <QTest>

namespace {

// Lines and pauses in one order, so that a test sees where each pause falls.
QStringList transcript(const CommandPlan &plan)
{
    QStringList events;
    for (const CommandPlan::Item &item : plan.items())
        events.append(item.line.isEmpty() ? QStringLiteral("wait %1").arg(item.waitMs) : item.line);
    return events;
}

// Cells given as "column=text".
StepValues stepWith(const QStringList &cells, int step = 4)
{
    StepValues values;
    values.row = step;
    for (const QString &cell : cells) {
        const qsizetype eq = cell.indexOf(u'=');
        values.cells[cell.left(eq).toInt()] = cell.mid(eq + 1);
    }
    return values;
}

const QHash<QString, LoadCommands::Builder> &loadBuilders()
{
    static const QHash<QString, LoadCommands::Builder> builders = {
        {"CmdStaticLevel", &LoadCommands::CmdStaticLevel},
        {"CmdLoadOn", &LoadCommands::CmdLoadOn},
        {"CmdLoadOff", &LoadCommands::CmdLoadOff},
        {"CmdShortTest", &LoadCommands::CmdShortTest},
        {"CmdOcpTest", &LoadCommands::CmdOcpTest},
        {"CmdOppTest", &LoadCommands::CmdOppTest},
        {"CmdTestStart", &LoadCommands::CmdTestStart},
        {"CmdDynamicLevels", &LoadCommands::CmdDynamicLevels},
        {"CmdDynamicOff", &LoadCommands::CmdDynamicOff},
        {"CmdDynamicOn", &LoadCommands::CmdDynamicOn},
        {"CmdNormalLevels", &LoadCommands::CmdNormalLevels},
        {"CmdBatteryRampSetup", &LoadCommands::CmdBatteryRampSetup},
        {"CmdBatteryRampOn", &LoadCommands::CmdBatteryRampOn},
        {"CmdSequenceLoadOff", &LoadCommands::CmdSequenceLoadOff},
        {"CmdSequenceLoadSetup", &LoadCommands::CmdSequenceLoadSetup},
        {"CmdSequenceLoadOn", &LoadCommands::CmdSequenceLoadOn},
        {"CmdBatteryCcCv", &LoadCommands::CmdBatteryCcCv},
        {"CmdBatteryCpCv", &LoadCommands::CmdBatteryCpCv},
        {"CmdCvCurrentLimit", &LoadCommands::CmdCvCurrentLimit},
        {"CmdCvPowerLimit", &LoadCommands::CmdCvPowerLimit},
        {"CmdBatteryDischargeCc", &LoadCommands::CmdBatteryDischargeCc},
        {"CmdBatteryDischargeCp", &LoadCommands::CmdBatteryDischargeCp},
        {"CmdBatteryCycleLife", &LoadCommands::CmdBatteryCycleLife},
        {"CmdBatteryDynamicOn", &LoadCommands::CmdBatteryDynamicOn},
        {"CmdExternalInput", &LoadCommands::CmdExternalInput},
    };
    return builders;
}

const QHash<QString, GeneratorCommands::Builder> &generatorBuilders()
{
    static const QHash<QString, GeneratorCommands::Builder> builders = {
        {"GenCmdSine", &GeneratorCommands::GenCmdSine},
        {"GenCmdPulse", &GeneratorCommands::GenCmdPulse},
        {"GenCmdOutputOff", &GeneratorCommands::GenCmdOutputOff},
    };
    return builders;
}

// Makes a builder's plan by name for a step.
CommandPlan runBuilder(const QString &name, const StepValues &step, const QString &rated)
{
    if (loadBuilders().contains(name)) {
        LoadCommands commands(step);
        commands.setRatedCurrent([rated] { return rated; });
        return (commands.*loadBuilders().value(name))();
    }
    GeneratorCommands commands(step);
    commands.setRatedCurrent([rated] { return rated; });
    return (commands.*generatorBuilders().value(name))();
}

} // namespace

class TestLoadCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<QString>("builder");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QString>("rated");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("static level sends all three levels")
            << "CmdStaticLevel" << QStringList{"2=CR", "3=2.50"} << ""
            << QStringList{"MODE CR", "CR:HIGH 2.50", "CR:LOW 2.50", "CR:HIGH 2.50"};
        QTest::newRow("load on waits") << "CmdLoadOn" << QStringList{} << "" << QStringList{"LOAD ON", "wait 100"};
        QTest::newRow("load off") << "CmdLoadOff" << QStringList{} << "" << QStringList{"LOAD OFF"};
        QTest::newRow("short rounds to four decimals") << "CmdShortTest" << QStringList{"3=0.123456"} << ""
                                                       << QStringList{"TCONFIG SHORT", "STIME 0.1235", "START"};
        QTest::newRow("short drops trailing zeros")
            << "CmdShortTest" << QStringList{"3=60.0"} << "" << QStringList{"TCONFIG SHORT", "STIME 60", "START"};
        QTest::newRow("ocp sends increment as step, end as stop")
            << "CmdOcpTest" << QStringList{"8=0", "9=10", "10=0.1", "11=0.6", "12=10", "13=3"} << ""
            << QStringList{"TCONFIG OCP", "OCP:START 0", "OCP:STEP 0.1", "OCP:STOP 10", "VTH 0.6", "IH 10", "IL 3",
                   "NGENABLE ON"};
        QTest::newRow("opp") << "CmdOppTest" << QStringList{"8=1", "9=100", "10=2", "11=0.5", "12=90", "13=20"} << ""
                             << QStringList{"TCONFIG OPP", "OPP:START 1", "OPP:STEP 2", "OPP:STOP 100", "VTH 0.5",
                                    "WH 90", "WL 20", "NGENABLE ON"};
        QTest::newRow("ocp sends empty cells as bare keywords")
            << "CmdOcpTest" << QStringList{} << ""
            << QStringList{"TCONFIG OCP", "OCP:START ", "OCP:STEP ", "OCP:STOP ", "VTH ", "IH ", "IL ", "NGENABLE ON"};
        QTest::newRow("test start") << "CmdTestStart" << QStringList{} << "" << QStringList{"START"};

        const QStringList dynamic = {"14=5", "15=1", "16=10", "17=20", "18=0.5", "19=0.8"};
        const QStringList dynamicTail = {"PERD:HIGH 10", "PERD:LOW 20", "RISE 0.5", "FALL 0.8"};
        QTest::newRow("dynamic CC high first") << "CmdDynamicLevels" << (dynamic + QStringList{"2=CC"}) << ""
                                               << (QStringList{"MODE CC", "CC:HIGH 5", "CC:LOW 1"} + dynamicTail);
        QTest::newRow("dynamic CP high first") << "CmdDynamicLevels" << (dynamic + QStringList{"2=CP"}) << ""
                                               << (QStringList{"MODE CP", "CP:HIGH 5", "CP:LOW 1"} + dynamicTail);
        QTest::newRow("dynamic CR low first") << "CmdDynamicLevels" << (dynamic + QStringList{"2=CR"}) << ""
                                              << (QStringList{"MODE CR", "CR:LOW 1", "CR:HIGH 5"} + dynamicTail);
        QTest::newRow("dynamic CV no levels")
            << "CmdDynamicLevels" << (dynamic + QStringList{"2=CV"}) << "" << (QStringList{"MODE CV"} + dynamicTail);
        QTest::newRow("dynamic off") << "CmdDynamicOff" << QStringList{} << "" << QStringList{"DYN OFF"};
        QTest::newRow("dynamic on waits") << "CmdDynamicOn" << QStringList{} << "" << QStringList{"DYN ON", "wait 100"};

        QTest::newRow("normal CC high first") << "CmdNormalLevels" << QStringList{"2=CC", "3=12"} << ""
                                              << QStringList{"MODE CC", "CC:HIGH 12", "CC:LOW 12"};
        QTest::newRow("normal CR low first") << "CmdNormalLevels" << QStringList{"2=CR", "3=12"} << ""
                                             << QStringList{"MODE CR", "CR:LOW 12", "CR:HIGH 12"};
        QTest::newRow("normal CV low first") << "CmdNormalLevels" << QStringList{"2=CV", "3=12"} << ""
                                             << QStringList{"MODE CV", "CV:LOW 12", "CV:HIGH 12"};
        QTest::newRow("normal CP low first") << "CmdNormalLevels" << QStringList{"2=CP", "3=12"} << ""
                                             << QStringList{"MODE CP", "CP:LOW 12", "CP:HIGH 12"};
        QTest::newRow("normal other mode")
            << "CmdNormalLevels" << QStringList{"2=cc", "3=12"} << "" << QStringList{"MODE cc"};

        QTest::newRow("ramp") << "CmdBatteryRampSetup"
                              << QStringList{"3=5", "25=3", "23=;1;2;3", "24=;10;20;30", "20=2.8", "7=2.5"} << ""
                              << QStringList{"CC R2", "BATT:STEP 3", "BATT:CC0 5", "BATT:CC1 1", "BATT:DTIME1 10",
                                     "BATT:CC2 2", "BATT:DTIME2 20", "BATT:CC3 3", "BATT:DTIME3 30", "LDOFFV 2.8",
                                     "BATT:UVP 2.8", "BATT:REPEAT 2"};
        QTest::newRow("ramp sends fewer than the list holds")
            << "CmdBatteryRampSetup" << QStringList{"3=5", "25=1", "23=;1;2", "24=;10;20", "20=3", "7=0"} << ""
            << QStringList{"CC R2", "BATT:STEP 1", "BATT:CC0 5", "BATT:CC1 1", "BATT:DTIME1 10", "LDOFFV 3",
                   "BATT:UVP 3", "BATT:REPEAT 0"};
        QTest::newRow("ramp on") << "CmdBatteryRampOn" << QStringList{} << "" << QStringList{"BATT:RAMP:CC ON"};

        QTest::newRow("sequence CP counts from 0")
            << "CmdSequenceLoadSetup" << QStringList{"2=CP", "25=2", "23=;50;80", "24=;100;200", "20=1.5", "7=70000"}
            << ""
            << QStringList{"REM", "SEQLD:TYPE CP", "SEQLD:TOTSTEP 2", "SEQLD:CP0 50", "SEQLD:TIME0 100", "SEQLD:CP1 80",
                   "SEQLD:TIME1 200", "VTH 1.5", "SEQLD:REPEAT 70000"};
        QTest::newRow("sequence CC") << "CmdSequenceLoadSetup"
                                     << QStringList{"2=CC", "25=2", "23=;1;2", "24=;5;6", "20=0", "7=1"} << ""
                                     << QStringList{"REM", "SEQLD:TYPE CC", "SEQLD:TOTSTEP 2", "SEQLD:CC0 1",
                                            "SEQLD:TIME0 5", "SEQLD:CC1 2", "SEQLD:TIME1 6", "VTH 0", "SEQLD:REPEAT 1"};
        QTest::newRow("sequence other type is CP")
            << "CmdSequenceLoadSetup" << QStringList{"2=cc", "25=2", "23=;1;2", "24=;5;6", "20=0", "7=1"} << ""
            << QStringList{"REM", "SEQLD:TYPE cc", "SEQLD:TOTSTEP 2", "SEQLD:CP0 1", "SEQLD:TIME0 5", "SEQLD:CP1 2",
                   "SEQLD:TIME1 6", "VTH 0", "SEQLD:REPEAT 1"};
        QTest::newRow("sequence off") << "CmdSequenceLoadOff" << QStringList{} << "" << QStringList{"SEQLD:TEST OFF"};
        QTest::newRow("sequence on") << "CmdSequenceLoadOn" << QStringList{} << "" << QStringList{"SEQLD:TEST ON"};

        QTest::newRow("cc+cv") << "CmdBatteryCcCv" << QStringList{"3=2", "21=3.6"} << ""
                               << QStringList{"MODE CC", "CC:HIGH 2", "wait 500", "LIM:ADDCV:VOLT 3.6", "LIM:ADDCV ON"};
        QTest::newRow("cp+cv") << "CmdBatteryCpCv" << QStringList{"3=20", "21=3.6"} << ""
                               << QStringList{"MODE CP", "wait 50", "CP:HIGH 20", "wait 500", "LIM:ADDCV:VOLT 3.6",
                                      "wait 50", "LIM:ADDCV ON"};
        QTest::newRow("cv with current limit")
            << "CmdCvCurrentLimit" << QStringList{"3=4", "21=12"} << ""
            << QStringList{"MODE CC", "CC:HIGH 4", "LIM:ADDCV:VOLT 12", "LIM:ADDCV ON"};
        QTest::newRow("cv with power limit")
            << "CmdCvPowerLimit" << QStringList{"3=40", "21=12"} << ""
            << QStringList{"MODE CP", "CP:HIGH 40", "LIM:ADDCV:VOLT 12", "LIM:ADDCV ON"};

        QTest::newRow("discharge cc") << "CmdBatteryDischargeCc"
                                      << QStringList{"3=2.50", "4=10.50", "5=3600", "6=1.250"} << ""
                                      << QStringList{"BATT:CURR 2.50", "BATT:UVP 10.5", "BATT:TIME 3600",
                                             "BATT:AH 1.25", "BATT:TEST ON"};
        QTest::newRow("discharge cp") << "CmdBatteryDischargeCp"
                                      << QStringList{"3=30", "4=2.7", "5=12.34567", "6=0.00001"} << ""
                                      << QStringList{"BATT:POWER 30", "BATT:UVP 2.7", "BATT:TIME 12.3457",
                                             "BATT:WH 1E-05", "BATT:TEST ON"};

        QTest::newRow("cycle life from the step's lists")
            << "CmdBatteryCycleLife"
            << QStringList{"14=;3;4;5", "15=;1;1.5;2", "16=;10;20;30", "17=;5;6;7", "22=;2;3;4", "20=2.5", "7=3"} << ""
            << QStringList{"BATT:CCH1 3", "BATT:CCL1 1", "BATT:TH1 10", "BATT:TL1 5", "BATT:CYCLE1 2", "BATT:CCH2 4",
                   "BATT:CCL2 1.5", "BATT:TH2 20", "BATT:TL2 6", "BATT:CYCLE2 3", "BATT:CCH3 5", "BATT:CCL3 2",
                   "BATT:TH3 30", "BATT:TL3 7", "BATT:CYCLE3 4", "LDOFFV 2.5", "BATT:UVP 2.5", "BATT:REPEAT 3"};
        QTest::newRow("cycle life without sub-steps") << "CmdBatteryCycleLife" << QStringList{"20=2.5", "7=0"} << ""
                                                      << QStringList{"LDOFFV 2.5", "BATT:UVP 2.5", "BATT:REPEAT 0"};
        QTest::newRow("battery dynamic on")
            << "CmdBatteryDynamicOn" << QStringList{} << "" << QStringList{"BATT:DYN ON"};

        const QStringList externalHead = {"EXT:AIN ON", "CCR R2"};
        const QStringList externalTail = {"LDONV 0.5", "LDOFFV 0", "LOAD ON"};
        QTest::newRow("external input 60 A")
            << "CmdExternalInput" << QStringList{} << "60"
            << (externalHead + QStringList{"CC:HIGH 0.0010", "CC:LOW 0.0010", "CC:HIGH 0.0010"} + externalTail);
        QTest::newRow("external input 960 A")
            << "CmdExternalInput" << QStringList{} << "960"
            << (externalHead + QStringList{"CC:HIGH 0.0160", "CC:LOW 0.0160", "CC:HIGH 0.0160"} + externalTail);

        QTest::newRow("sine 60 A") << "GenCmdSine" << QStringList{"28=100", "27=30", "26=15"} << "60"
                                   << QStringList{"SOUR1:APPL:SIN 100,5,2.5", "OUTP ON"};
        QTest::newRow("sine scales a leading number") << "GenCmdSine" << QStringList{"28=1k", "27=12A", "26=x"} << "60"
                                                      << QStringList{"SOUR1:APPL:SIN 1k,2,0", "OUTP ON"};
        QTest::newRow("pulse 240 A") << "GenCmdPulse"
                                     << QStringList{"28=1000", "15=0", "14=120", "16=500", "29=50", "18=10", "19=20"}
                                     << "240"
                                     << QStringList{"SOUR1:APPL:PULS 1000,0,5", "SOUR1:PULS:WIDT 500us",
                                            "SOUR1:PULS:DCYC 50", "SOUR1:PULS:EGDE 10us", "SOUR1:PULS:RISE 10us",
                                            "SOUR1:PULS:FALL 20us", "OUTP ON"};
        QTest::newRow("pulse 12A scales as 12")
            << "GenCmdPulse" << QStringList{"28=50", "15=12A", "14=36", "16=1", "29=5", "18=2", "19=3"} << "240"
            << QStringList{"SOUR1:APPL:PULS 50,0.5,1.5", "SOUR1:PULS:WIDT 1us", "SOUR1:PULS:DCYC 5",
                   "SOUR1:PULS:EGDE 2us", "SOUR1:PULS:RISE 2us", "SOUR1:PULS:FALL 3us", "OUTP ON"};
        QTest::newRow("output off") << "GenCmdOutputOff" << QStringList{} << "" << QStringList{"OUTP OFF"};
    }
    void lines()
    {
        QFETCH(QString, builder);
        QFETCH(QStringList, cells);
        QFETCH(QString, rated);
        QFETCH(QStringList, expected);
        const StepValues step = stepWith(cells);
        const CommandPlan plan = runBuilder(builder, step, rated);
        QVERIFY2(!plan.error(), qPrintable(plan.error() ? plan.error()->text() : QString()));
        QCOMPARE(transcript(plan), expected);
    }

    // Data that cannot make every line: nothing of the builder goes out, and the problem names
    // the step, the column and what is wrong.
    void refusals_data()
    {
        QTest::addColumn<QString>("builder");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QString>("rated");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");

        const QStringList ramp = {"3=5", "23=;1;2", "24=;10;20", "20=3", "7=1"};
        QTest::newRow("ramp list shorter than count")
            << "CmdBatteryRampSetup" << (ramp + QStringList{"25=3"}) << "" << 23
            << "Step 4, column 23 \"Ramp CC\": the list holds 2 values, 3 needed";
        QTest::newRow("ramp time list shorter")
            << "CmdBatteryRampSetup" << QStringList{"25=2", "23=;1;2", "24=;10", "7=1"} << "" << 24
            << "Step 4, column 24 \"Ramp Time\": the list holds 1 values, 2 needed";
        QTest::newRow("ramp count not a number") << "CmdBatteryRampSetup" << (ramp + QStringList{"25=two"}) << "" << 25
                                                 << "Step 4, column 25 \"Total Step\": \"two\" is not a number";
        QTest::newRow("ramp repeat out of range")
            << "CmdBatteryRampSetup" << QStringList{"25=0", "7=40000"} << "" << 7
            << "Step 4, column 7 \"Times\": 40000 is out of the range -32768 to 32767";
        QTest::newRow("sequence repeat empty")
            << "CmdSequenceLoadSetup" << QStringList{"2=CC", "25=2", "23=;1;2", "24=;5;6"} << "" << 7
            << "Step 4, column 7 \"Times\": \"\" is not a number";
        QTest::newRow("sequence list without values")
            << "CmdSequenceLoadSetup" << QStringList{"2=CC", "25=2", "7=1"} << "" << 23
            << "Step 4, column 23 \"Ramp CC\": the list holds 0 values, 1 needed";
        QTest::newRow("short time not a number") << "CmdShortTest" << QStringList{"3=1ms"} << "" << 3
                                                 << "Step 4, column 3 \"SinkValue\": \"1ms\" is not a number";
        QTest::newRow("discharge infinite voltage") << "CmdBatteryDischargeCc" << QStringList{"4=inf", "5=1", "6=1"}
                                                    << "" << 4 << "Step 4, column 4 \"VStop\": \"inf\" is not a number";
        QTest::newRow("discharge nan capacity") << "CmdBatteryDischargeCp" << QStringList{"4=1", "5=1", "6=nan"} << ""
                                                << 6 << "Step 4, column 6 \"AhStop\": \"nan\" is not a number";
        QTest::newRow("discharge time too large") << "CmdBatteryDischargeCc" << QStringList{"4=1", "5=1e300", "6=1"}
                                                  << "" << 5 << "Step 4, column 5 \"TStop\": 1e300 is too large";
        QTest::newRow("cycle life short list")
            << "CmdBatteryCycleLife" << QStringList{"14=;3;4", "15=;1;1", "16=;10;20", "17=;5", "22=;2;3", "7=1"} << ""
            << 17 << "Step 4, column 17 \"T-Low\": the list holds 1 values, 2 needed";
        QTest::newRow("level not a number") << "CmdStaticLevel" << QStringList{"2=CC", "3=abc"} << "" << 3
                                            << "Step 4, column 3 \"SinkValue\": \"abc\" is not a number";
        QTest::newRow("dynamic high not a number") << "CmdDynamicLevels" << QStringList{"2=CC", "14=x5", "15=1"} << ""
                                                   << 14 << "Step 4, column 14 \"High\": \"x5\" is not a number";
        QTest::newRow("OCP limit not a number")
            << "CmdOcpTest" << QStringList{"8=0", "9=1", "10=5", "11=1", "12=high", "13=1"} << "" << 12
            << "Step 4, column 12 \"Limit High\": \"high\" is not a number";
        QTest::newRow("line break in a stored value")
            << "CmdStaticLevel" << QStringList{"2=CC", "3=1\r\nLOAD ON"} << "" << 3
            << "Step 4, column 3 \"SinkValue\": the value holds a line break";
        QTest::newRow("external input without rated current")
            << "CmdExternalInput" << QStringList{} << "" << -1
            << "Step 4, rated current: the load's rated current is not known";
        QTest::newRow("external input zero rated current") << "CmdExternalInput" << QStringList{} << "0" << -1
                                                           << "Step 4, rated current: \"0\" is not a positive number";
        QTest::newRow("sine rated current not a number")
            << "GenCmdSine" << QStringList{"28=100", "27=1", "26=1"} << "ErrRec" << -1
            << "Step 4, rated current: \"ErrRec\" is not a positive number";
        QTest::newRow("pulse zero rated current") << "GenCmdPulse" << QStringList{"14=1", "15=0"} << "0" << -1
                                                  << "Step 4, rated current: \"0\" is not a positive number";
        QTest::newRow("sine level overflows") << "GenCmdSine" << QStringList{"27=1e308", "26=1"} << "0.001" << 27
                                              << "Step 4, column 27 \"I_AC\": 1e308 gives no level for the generator";
    }
    void refusals()
    {
        QFETCH(QString, builder);
        QFETCH(QStringList, cells);
        QFETCH(QString, rated);
        QFETCH(int, column);
        QFETCH(QString, text);
        const StepValues step = stepWith(cells);
        const CommandResult result = runBuilder(builder, step, rated).error();
        QVERIFY(result.has_value());
        QCOMPARE(result->step, 4);
        QCOMPARE(result->column, column);
        QCOMPARE(result->text(), text);
    }

    // A Stop served during a pause or a line ends the builder: nothing after it goes out.
    void stopsWhenTheRunEnds_data()
    {
        QTest::addColumn<int>("runningFor");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("stopped on the first line") << 1 << QStringList{"MODE CP"};
        QTest::newRow("stopped on the second line") << 2 << QStringList{"MODE CP", "CP:HIGH 20"};
    }
    void stopsWhenTheRunEnds()
    {
        QFETCH(int, runningFor);
        QFETCH(QStringList, expected);
        const StepValues step = stepWith({"3=20", "21=3.6"});
        const CommandPlan plan = LoadCommands(step).CmdBatteryCpCv();
        FakeLink link;
        FakeClock clock;
        CancelToken cancel;
        link.onSend([&](const QString &) {
            if (link.sent().size() >= runningFor)
                cancel.cancel();
        });
        QVERIFY(!QCoro::waitFor(PlanSender::send(plan, link, clock, &cancel)));
        QCOMPARE(link.sent(), expected);
        // The pause after the last line sent was not waited out.
        QCOMPARE(clock.tickMs(), runningFor == 1 ? 0 : 51);
    }
};

QTEST_GUILESS_MAIN(TestLoadCommands)
#include "tst_loadcommands.moc"
