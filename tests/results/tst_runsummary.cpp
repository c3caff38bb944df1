#include "RunBench.h"
#include "TestFiles.h"
#include "results/LogExport.h"
#include "results/RunSummary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using Cells = QMap<int, QString>;
using Program = QList<std::pair<QString, Cells>>;

namespace {

enum class Ending { RunToEnd, Stop, StopAtLoadOn, Silence };

Cells discharge(const Cells &stops = {})
{
    Cells cells{{2, "CC"}, {3, "1"}, {4, "0"}, {30, "0"}, {5, "2"}, {31, "0"}, {6, "0"}};
    for (auto it = stops.begin(); it != stops.end(); ++it)
        cells.insert(it.key(), it.value());
    return cells;
}

// A summary beside a bench, as the engine keeps one beside its run controller.
struct SummaryBench : RunBench
{
    RunSummary summary{recorder};
    bool start() { return RunBench::start({QStringLiteral("t.TSF")}); }
};

} // namespace

Q_DECLARE_METATYPE(Ending)

class TestRunSummary : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each way a step ends, on a real run, as a script reads the JSON: the end, the verdict, the
    // totals of the step's last sample. Steps that only jump are left out.
    void stepEnds_data()
    {
        QTest::addColumn<Program>("program");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("result");
        const Program plain{{"Discharge", discharge()}};
        const QString ok = QStringLiteral("12.5,2");
        auto row = [](const char *name, const Program &program, const QString &reply, Ending ending,
                       const QStringList &steps, const char *result) {
            QTest::newRow(name) << program << reply << ending << steps << QString::fromLatin1(result);
        };
        row("time", plain, ok, Ending::RunToEnd, {"Discharge time"}, "PASS");
        row("voltage", {{"Discharge", discharge({{4, "10"}})}}, "9.99,1", Ending::RunToEnd, {"Discharge voltage"},
            "PASS");
        row("current", {{"Discharge", discharge({{30, "2"}})}}, "12,1.5", Ending::RunToEnd, {"Discharge current"},
            "PASS");
        row("capacity", {{"Discharge", discharge({{5, "60"}, {6, "0.01"}})}}, "12,3.6", Ending::RunToEnd,
            {"Discharge capacity"}, "PASS");
        row("load verdict", {{"OCP", {{8, "0"}, {9, "10"}, {10, "0.1"}, {11, "0.6"}, {12, "10"}, {13, "3"}}}}, ok,
            Ending::RunToEnd, {"OCP load PASS 5.2"}, "PASS");
        row("stopped", plain, ok, Ending::Stop, {"Discharge stopped"}, "STOPPED");
        row("stopped before a sample", plain, ok, Ending::StopAtLoadOn, {"Discharge stopped"}, "STOPPED");
        row("lost", plain, ok, Ending::Silence, {"Discharge lost"}, "LOST");
        row("error", {{"Discharge", discharge({{5, "abc"}})}}, ok, Ending::RunToEnd, {"Discharge error"}, "ERROR");
        row("FOR and LOOP leave no line", {{"FOR", {{7, "2"}}}, {"Discharge", discharge()}, {"LOOP", {}}}, ok,
            Ending::RunToEnd, {"Discharge time", "Discharge time"}, "PASS");
    }
    void stepEnds()
    {
        QFETCH(Program, program);
        QFETCH(QString, reply);
        QFETCH(Ending, ending);
        QFETCH(QStringList, steps);
        QFETCH(QString, result);
        SummaryBench bench;
        for (const auto &[function, cells] : program)
            bench.addStep(function, cells);
        bench.load.setReply(QStringLiteral("MEAS:VC?"), reply);
        bench.load.queueReplies(QStringLiteral("TESTING?"), {"1"});
        bench.load.setReply(QStringLiteral("TESTING?"), QStringLiteral("0"));
        bench.load.setReply(QStringLiteral("NG?"), QStringLiteral("1"));
        bench.load.setReply(QStringLiteral("OCP?"), QStringLiteral("5.2"));
        bench.load.onSend([&](const QString &line) {
            if (ending == Ending::StopAtLoadOn && line == u"LOAD ON")
                bench.run.stop();
        });
        std::optional<Sample> last;
        QObject::connect(&bench.run.events(), &RunEvents::sample, [&](const Sample &sample) { last = sample; });
        QVERIFY(bench.start());
        bench.pass();
        if (ending == Ending::Silence)
            bench.load.queueReplies(QStringLiteral("MEAS:VC?"), QStringList(1000, QStringLiteral("ErrRec")));
        if (ending == Ending::Stop)
            bench.run.stop();
        bench.runToEnd();
        QVERIFY(bench.summary.isFinished());

        const QString path = bench.dir.filePath(QStringLiteral("run.json"));
        QCOMPARE(bench.summary.writeJson(path), QString());
        const QJsonObject json = QJsonDocument::fromJson(TestFiles::readBytes(path)).object();
        QCOMPARE(json.keys(),
            (QStringList{"ended", "load_off", "message", "model", "program", "result", "started", "steps", "totals"}));
        QCOMPARE((QStringList{json["result"].toString(), json["program"].toString(), json["model"].toString(),
                     json["started"].toString()}),
            (QStringList{result, "t.TSF", "6312C", "2026-12-07T12:00:00.000"}));
        QStringList seen;
        QJsonObject step;
        for (const QJsonValue &value : json["steps"].toArray()) {
            step = value.toObject();
            seen.append(QStringList{step["function"].toString(), step["end"].toString(), step["verdict"].toString(),
                step["value"].toString()}
                            .join(u' ')
                            .trimmed());
        }
        QCOMPARE(seen, steps);
        QCOMPARE(step.keys(),
            (QStringList{
                "ah", "end", "function", "i", "seconds", "started", "step", "unit", "v", "value", "verdict", "wh"}));
        const Sample atLast = last.value_or(Sample{});
        QCOMPARE((QList<QJsonValue>{step["ah"], step["wh"], step["v"], step["i"]}),
            (QList<QJsonValue>{atLast.ampHours, atLast.wattHours, atLast.volts, atLast.amps}));
        if (last)
            QVERIFY(step["seconds"].toDouble() > 0);
        // A header, a line per step, the run's totals, the result, and the run's message when there is one.
        const QString message = json["message"].toString();
        QCOMPARE(
            bench.summary.toText().count(u'\n'), 3 + steps.size() + (message.isEmpty() ? 0 : message.count(u'\n') + 1));
    }

    // A summary that cannot be written says where; the next run starts the summary afresh.
    void unwritableThenAnotherRun()
    {
        SummaryBench bench;
        bench.addDischarge(QStringLiteral("1"), QStringLiteral("1"));
        QVERIFY(bench.start());
        bench.runToEnd();
        const QString unwritable = bench.dir.filePath(QStringLiteral("missing/run.json"));
        QVERIFY(bench.summary.writeJson(unwritable).startsWith(unwritable + u':'));
        QVERIFY(bench.start());
        QVERIFY(
            bench.summary.record().steps.isEmpty() && !bench.summary.isFinished() && bench.summary.result().isEmpty());
    }

    // What became of the run's off lines, as the summary file holds it byte for byte: null for a
    // run that never reached the load.
    void loadOffInTheJson_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("late");
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("never reached the load")
            << int(LoadOff::State::None) << false << QByteArray("    \"load_off\": null,\n");
        QTest::newRow("confirmed") << int(LoadOff::State::Confirmed) << false
                                   << QByteArray("    \"load_off\": {\n"
                                                 "        \"address\": \"TCP 127.0.0.1:5025\",\n"
                                                 "        \"amps\": 0.002,\n"
                                                 "        \"confirmed_at\": \"2026-12-07T12:00:05.000\",\n"
                                                 "        \"since\": \"\",\n"
                                                 "        \"state\": \"CONFIRMED\"\n"
                                                 "    },\n");
        QTest::newRow("not confirmed") << int(LoadOff::State::Unconfirmed) << false
                                       << QByteArray("    \"load_off\": {\n"
                                                     "        \"address\": \"TCP 127.0.0.1:5025\",\n"
                                                     "        \"amps\": null,\n"
                                                     "        \"confirmed_at\": \"\",\n"
                                                     "        \"since\": \"2026-12-07T12:00:05.000\",\n"
                                                     "        \"state\": \"UNCONFIRMED\"\n"
                                                     "    },\n");
        QTest::newRow("not confirmed, then confirmed")
            << int(LoadOff::State::Confirmed) << true
            << QByteArray("    \"load_off\": {\n"
                          "        \"address\": \"TCP 127.0.0.1:5025\",\n"
                          "        \"amps\": 0,\n"
                          "        \"confirmed_at\": \"2026-12-07T12:01:35.250\",\n"
                          "        \"since\": \"2026-12-07T12:00:05.000\",\n"
                          "        \"state\": \"CONFIRMED\"\n"
                          "    },\n");
    }
    void loadOffInTheJson()
    {
        QFETCH(int, state);
        QFETCH(bool, late);
        QFETCH(QByteArray, json);
        const QDateTime end(QDate(2026, 12, 7), QTime(12, 0, 5));
        RunRecord run;
        run.started = true;
        run.result = RunResult::Pass;
        run.startedAt = end.addSecs(-5);
        run.endedAt = end;
        run.loadOff.state = LoadOff::State(state);
        if (run.loadOff.state != LoadOff::State::None)
            run.loadOff.address = QStringLiteral("TCP 127.0.0.1:5025");
        if (run.loadOff.unconfirmed() || late)
            run.loadOff.since = end;
        if (run.loadOff.state == LoadOff::State::Confirmed) {
            run.loadOff.confirmedAt = late ? end.addMSecs(90250) : end;
            run.loadOff.amps = late ? 0 : 0.002;
        }
        const QByteArray bytes = QJsonDocument(RunSummary::toJson(run)).toJson(QJsonDocument::Indented);
        QVERIFY2(bytes.contains("    \"ended\": \"2026-12-07T12:00:05.000\",\n" + json + "    \"message\": \"\",\n"),
            bytes.constData());
    }

    void summaryPathBesideTheLog()
    {
        const std::pair<const char *, const char *> names[] = {{"/lab/20261207.CSV", "/lab/20261207.json"},
            {"/lab/cell.7.csv", "/lab/cell.7.json"}, {"lab.d/run", "lab.d/run.json"},
            // Never the log's own name.
            {"/lab/run.JSON", "/lab/run.JSON.json"}};
        for (auto [log, summary] : names)
            QCOMPARE(LogExport::summaryPathFor(QLatin1String(log)), QLatin1String(summary));
    }

    // Two runs saved on one day are proposed two names, each with its date and time.
    void proposedLogNamesOfOneDayDiffer()
    {
        const QDate day(2026, 12, 7);
        const QString morning = LogExport::proposedPath(QStringLiteral("/lab"), QDateTime(day, QTime(9, 5, 1)));
        const QString evening = LogExport::proposedPath(QStringLiteral("/lab"), QDateTime(day, QTime(17, 30, 0)));
        QCOMPARE(morning, QStringLiteral("/lab/20261207-090501.CSV"));
        QCOMPARE(evening, QStringLiteral("/lab/20261207-173000.CSV"));
    }
};

QTEST_GUILESS_MAIN(TestRunSummary)
#include "tst_runsummary.moc"
