#include "FakeClock.h"
#include "FakeLink.h"
#include "device/Identification.h"
#include "link/TraceList.h"
#include "model/TestProgram.h"
#include "results/ChartHistory.h"
#include "results/RunSummary.h"
#include "run/RunController.h"
#include "run/RunRecorder.h"
#include "settings/MeasureOptions.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

namespace {

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace

class TestLongRun : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A steady 2 A at 12.5 V, sampled every 100 ms on the fake clock for VORNIC_LONG_RUN_HOURS
    // (20 unless set; bench/run sets 200): the run's totals against the closed form (2 A and 25 W
    // for that long), and memory that does not grow with the run.
    void longRun()
    {
        const double Hours = qEnvironmentVariableIsSet("VORNIC_LONG_RUN_HOURS")
            ? qEnvironmentVariable("VORNIC_LONG_RUN_HOURS").toDouble()
            : 20;
        TestProgram program;
        FakeLink load;
        FakeClock clock;
        TraceList trace;
        MeasureOptions options;
        Identification identification{load};
        RunController run{{program, load, nullptr, clock, trace, identification, options}};
        RunRecorder recorder{run.events(), clock, [&] { return identification.runModel(); }};
        RunSummary summary{recorder};
        ChartHistory chart;
        QObject::connect(&recorder, &RunRecorder::sampleAdded, [&](const Sample &sample) { chart.add(sample); });
        options.setMeasTimeText(QStringLiteral("100"));
        run.setFirstIntervalMs(100);
        load.setReply(QStringLiteral("name?"), QStringLiteral("6312C"));
        load.setReply(QStringLiteral("MEAS:VC?"), QStringLiteral("12.5,2"));
        load.setOffReply(QStringLiteral("MEAS:VC?"), QStringLiteral("12.5,0"));
        // The fake keeps every line sent for the tests that read them; this one reads none.
        load.onSend([&](const QString &) { load.takeSent(); });
        program.setGridRowCount(3);
        const QStringList cells{"1", "Discharge", "CC", "2", "0", QString::number(Hours * 3600), "0"};
        for (int column = 0; column < cells.size(); ++column)
            program.setCell(1, column, cells.at(column));
        program.setCell(1, 30, QStringLiteral("0"));
        program.setCell(1, 31, QStringLiteral("0"));

        long tenthKb = -1;
        const qint64 tenth = qint64(Hours * 36000 / 10);
        QObject::connect(&recorder, &RunRecorder::sampleAdded, [&] {
            if (recorder.record().samples == tenth)
                tenthKb = residentKb();
        });
        RunOptions runOptions;
        runOptions.measureTime = Fixed4::fromDoubleOrZero(100);
        QVERIFY(run.start(runOptions));
        QTRY_VERIFY_WITH_TIMEOUT(!run.isRunning(), 3'600'000);
        const long endKb = residentKb();

        const RunRecord &record = recorder.record();
        QCOMPARE(record.result, std::optional<RunResult>(RunResult::Pass));
        QVERIFY2(std::abs(record.samples - qint64(Hours * 36000)) <= 2, qPrintable(QString::number(record.samples)));
        const double ah = 2 * Hours, wh = 25 * Hours;
        QVERIFY2(
            std::abs(record.totals.ampHours - ah) / ah < 1e-4, qPrintable(QString::number(record.totals.ampHours)));
        QVERIFY2(
            std::abs(record.totals.wattHours - wh) / wh < 1e-4, qPrintable(QString::number(record.totals.wattHours)));
        QVERIFY2(
            std::abs(record.totals.seconds - Hours * 3600) < 1, qPrintable(QString::number(record.totals.seconds)));
        // From a tenth of the run to its end, a run nine times as long as what came before. The
        // address sanitizer holds freed memory back for a while, so its builds judge no memory.
#ifndef __SANITIZE_ADDRESS__
        QVERIFY2(tenthKb > 0 && endKb - tenthKb < 4096,
            qPrintable(QStringLiteral("%1 kB at a tenth, %2 kB at the end").arg(tenthKb).arg(endKb)));
#endif
        qInfo("%lld samples: %.6f Ah (%.2e off), %.6f Wh (%.2e off); %ld kB at a tenth, %ld kB at the end",
            static_cast<long long>(record.samples), record.totals.ampHours, (record.totals.ampHours - ah) / ah,
            record.totals.wattHours, (record.totals.wattHours - wh) / wh, tenthKb, endKb);
    }
};

QTEST_GUILESS_MAIN(TestLongRun)
#include "tst_longrun.moc"
