#include "RunBench.h"
#include "store/RunArchive.h"
#include "store/RunStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Whatever shows or keeps a run, as the recorder hands it the run: it counts what it heard, and
// checks at each sample that the record already holds it.
class Listener : public QObject
{
public:
    explicit Listener(const RunRecorder &recorder) : m_recorder(recorder), base(recorder.record().samples)
    {
        connect(&recorder, &RunRecorder::sampleAdded, this, [this](const Sample &sample) {
            ++heard;
            const RunRecord &run = m_recorder.record();
            folded = folded && run.samples == base + heard && run.last.elapsedSeconds == sample.elapsedSeconds;
        });
        connect(&recorder, &RunRecorder::rowAdded, this, [this] { ++rows; });
        connect(&recorder, &RunRecorder::runEnded, this, [this](const RunRecord &run) { atEnd = run; });
    }

    const RunRecorder &m_recorder;
    const qint64 base;
    qint64 heard = 0;
    qint64 rows = 0;
    bool folded = true;
    std::optional<RunRecord> atEnd;
};

// A station's run, log and store, with a listener connected before all of them and one after.
struct Station : RunParts
{
    Listener first{recorder};
    RunLogWriter log{recorder, results, [this] { return options.separateText(); }};
    RunStore store{recorder, identification, dir.filePath(QStringLiteral("VORN.INI"))};
    Listener last{recorder};

    Station()
    {
        clock.setHoldSleeps(true);
        options.setMeasTimeText(QStringLiteral("1000"));
        log.setPath(dir.filePath(QStringLiteral("TEMPLOG.CSV")));
        log.bindTo(run);
        log.holdRowsUntilKept([this] { store.waitForSamples(RunStore::RunEndWaitMs); });
        QObject::connect(&store, &RunStore::samplesKept, &log, &RunLogWriter::samplesKept);
        load.setReply(QStringLiteral("name?"), QStringLiteral("6312C"));
        load.setReply(QStringLiteral("MEAS:VC?"), QStringLiteral("12.5,2"));
        load.setOffReply(QStringLiteral("MEAS:VC?"), QStringLiteral("12.5,0"));
        for (const auto &[function, seconds] : {std::pair{"Discharge", "6"}, {"Rest", "3"}, {"Discharge", "4"}}) {
            const int row = program.StepCount() + 1;
            program.setGridRowCount(row + 2);
            program.setCell(row, 0, QString::number(row));
            program.setCell(row, 1, QString::fromLatin1(function));
            program.setCell(row, 2, QStringLiteral("CC"));
            program.setCell(row, 3, QStringLiteral("1"));
            program.setCell(row, 5, QString::fromLatin1(seconds));
            for (int stop : {4, 6, 30, 31})
                program.setCell(row, stop, QStringLiteral("0"));
        }
    }
    void pass()
    {
        clock.releaseSleep();
        while (run.isRunning() && clock.heldSleeps() == 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
};

} // namespace

class TestRecordListeners : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Listeners connected first, last and halfway through the run all read what the CSV log and
    // the store hold.
    void everyListenerReadsTheSameRecord()
    {
        Station station;
        QVERIFY(station.run.start({}));
        while (station.run.isRunning() && station.recorder.record().samples < 4)
            station.pass();
        QVERIFY2(station.run.isRunning(), qPrintable(station.recorder.record().message));
        Listener midRun(station.recorder);
        QVERIFY(midRun.base > 0);
        while (station.run.isRunning())
            station.pass();

        const RunRecord &run = station.recorder.record();
        QCOMPARE(run.result, std::optional<RunResult>(RunResult::Pass));
        QFile csv(station.log.path());
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const qint64 csvRows = csv.readAll().count('\n') - 1;
        QCOMPARE(qint64(run.rows), csvRows);
        RunArchive archive = RunArchive::local(station.store.path());
        QString error;
        QVERIFY2(archive.open(&error), qPrintable(error));
        const std::optional<StoredRun> stored = archive.run(station.store.runUuid(), &error);
        QVERIFY2(stored && stored->totals, qPrintable(error));
        QCOMPARE(stored->sampleCount, run.samples);
        QCOMPARE(stored->steps.size(), run.steps.size());
        QCOMPARE(stored->totals->ampHours, run.totals.ampHours);
        for (const Listener *listener : {&station.first, &midRun, &station.last}) {
            QVERIFY(listener->folded);
            QCOMPARE(listener->base + listener->heard, run.samples);
            QCOMPARE(listener->rows + (listener == &midRun ? qint64(midRun.base) : 0), csvRows);
            QVERIFY(listener->atEnd);
            QCOMPARE(listener->atEnd->totals.ampHours, run.totals.ampHours);
            QCOMPARE(listener->atEnd->steps.size(), run.steps.size());
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordListeners)
#include "tst_recordlisteners.moc"
