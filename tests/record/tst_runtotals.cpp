#include "ProcessEnd.h"
#include "RunBench.h"
#include "TestFiles.h"
#include "report/RunReport.h"
#include "results/RunSummary.h"
#include "run/RunStatus.h"
#include "store/RunArchive.h"
#include "store/RunListModel.h"
#include "store/RunStore.h"
#include "ui/RunReadout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

// A three-step capacity test at 1000 ms: 2 A at 12.5 V for three samples, a rest, then 1 A at
// 12 V for two samples. Each addend is rounded to eight decimals, as the log keeps it:
//   2 A:  2 / 3600 = 0.00055556 Ah,  25 W: 25 / 3600 = 0.00694444 Wh per sample
//   1 A:  1 / 3600 = 0.00027778 Ah,  12 W: 12 / 3600 = 0.00333333 Wh per sample
// Step 1: 3 x 0.00055556 = 0.00166668 Ah, 3 x 0.00694444 = 0.02083332 Wh
// Step 2: 0 Ah, 0 Wh; step 3: 2 x 0.00027778 = 0.00055556 Ah, 2 x 0.00333333 = 0.00666666 Wh
// The run: 0.00222224 Ah, 0.02749998 Wh.
constexpr double StepOneAh = 0.00166668, StepThreeAh = 0.00055556;
constexpr double RunAh = 0.00222224, RunWh = 0.02749998;

struct TotalsBench : RunBench
{
    RunSummary summary{recorder};
    RunStore store{recorder, identification, dir.filePath(QStringLiteral("VORN.INI"))};
    RunStatus status{recorder, program};

    TotalsBench()
    {
        addDischarge(QStringLiteral("2"), QStringLiteral("3"));
        addStep(QStringLiteral("Rest"), {{5, "2"}});
        addDischarge(QStringLiteral("1"), QStringLiteral("2"));
        int loadOn = 0;
        load.onSend([this, loadOn](const QString &line) mutable {
            if (line == u"LOAD ON")
                load.setReply(QStringLiteral("MEAS:VC?"), ++loadOn == 1 ? QStringLiteral("12.5,2") : "12,1");
            if (line == u"LOAD OFF")
                load.setReply(QStringLiteral("MEAS:VC?"), QStringLiteral("12.6,0"));
        });
    }
};

bool near(double a, double b) { return std::abs(a - b) <= 1e-12; }

} // namespace

class TestRunTotals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyViewShowsTheRunTotals()
    {
        TotalsBench bench;
        RunReadout readout(bench.status);
        QVERIFY(bench.start({QStringLiteral("cell.TSF")}));
        bench.runToEnd();
        QCOMPARE(bench.ends, QList<RunResult>{RunResult::Pass});

        const RunRecord &run = bench.record();
        QCOMPARE(run.steps.size(), 3);
        QVERIFY(near(run.steps.at(0).ampHours, StepOneAh));
        QVERIFY(near(run.steps.at(2).ampHours, StepThreeAh));
        QVERIFY(near(run.totals.ampHours, RunAh));
        QVERIFY(near(run.totals.wattHours, RunWh));
        QVERIFY(run.totals.seconds > 0);

        // The readout: the last step's totals, then the run's, each named.
        readout.refresh();
        QCOMPARE(readout.readings().mid(3), (QStringList{"0.0006 Ah", "0.0067 Wh", "0.0022 Ah", "0.0275 Wh"}));

        // The summary, as text and as the JSON vornic-run writes.
        QVERIFY(bench.summary.toText().contains(QStringLiteral("Run total: 0.002222 Ah, 0.027500 Wh in ")));
        const QJsonObject totals = bench.summary.toJson()[QStringLiteral("totals")].toObject();
        QVERIFY(near(totals[QStringLiteral("ah")].toDouble(), RunAh));
        QVERIFY(near(totals[QStringLiteral("wh")].toDouble(), RunWh));

        // The store, as the Runs window lists it and opens it.
        RunArchive archive = RunArchive::local(bench.store.path());
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const QList<StoredRun> listed = archive.runs({}, &error);
        QCOMPARE(listed.size(), 1);
        QVERIFY(listed.first().totals && near(listed.first().totals->ampHours, RunAh));
        RunListModel list;
        list.setRuns(listed);
        QCOMPARE(list.index(0, RunListModel::AmpHours).data().toString(), QStringLiteral("0.0022"));
        const std::optional<StoredRun> stored = archive.run(bench.store.runUuid(), &error);
        QVERIFY2(stored && stored->totals, qPrintable(error));
        QVERIFY(near(stored->totals->ampHours, RunAh));
        QVERIFY(near(stored->totals->wattHours, RunWh));

        // The report of the stored run.
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QString pdf = bench.dir.filePath(QStringLiteral("report.pdf"));
        QCOMPARE(RunReport::write(archive, *stored, pdf), QString());
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(waitForEnd(text));
        QVERIFY(QString::fromUtf8(text.readAllStandardOutput())
                    .contains(QRegularExpression(QStringLiteral("Run Ah\\s+0\\.002222\\s+Run Wh\\s+0\\.027500"))));
    }
};

QTEST_MAIN(TestRunTotals)
#include "tst_runtotals.moc"
