#pragma once

#include "run/RunRecorder.h"

#include <QObject>
#include <functional>

class TestProgram;

// Where the run stands, for a glance from across the bench: what it is doing, how long it has
// been going, the step's time left and the latest reading, read from the run's record.
class RunStatus : public QObject
{
    Q_OBJECT

public:
    enum class Phase { Idle, Identifying, Running, Reconnecting, Stopped, FinishedPass, FinishedFail, Lost, Error };
    Q_ENUM(Phase)

    RunStatus(const RunRecorder &recorder, const TestProgram &program, QObject *parent = nullptr);
    // Where the load is reached ("127.0.0.1:5025", "/dev/ttyUSB0"), for the state while it is
    // out of reach.
    void setLoadAddress(std::function<QString()> address) { m_address = std::move(address); }

    Phase phase() const;
    // "Idle", "Identifying", "Running step 3 of 8 (Discharge)", "Reconnecting to 127.0.0.1:5025
    // (4 s)" (since the last reading), "Stopped", "Finished PASS", ...
    QString text() const;
    // Since Run; held once the run has ended.
    double elapsedSeconds() const { return m_recorder.elapsedSeconds(); }
    // "Step 3 of 8" while a step runs or after the last one ran; "" before the first.
    QString stepOfSteps() const;
    // The running step's time left as the step time box shows it; "" when the step has none.
    QString timeLeft() const;
    // Seconds as every view of a step's time left shows them: "838.2 s".
    static QString secondsText(Fixed4 seconds);
    // The latest sample of this run; none before its first.
    const Sample &lastSample() const { return record().last; }
    bool hasSample() const { return record().samples > 0; }
    // The run goes on, or is identifying.
    bool isGoingOn() const { return record().started && !record().isFinished(); }
    // The latest sample is the load's now: the run goes on and the load answers. Otherwise a view
    // shows it as what it is, the last reading, never as a current still flowing.
    bool readingIsLive() const { return hasSample() && isGoingOn() && !record().silentSince; }
    // How long no reading has come: since the last sample, or since the load went silent before
    // the first; 0 while readings come.
    double secondsWithoutReading() const;
    // What the whole run has drawn so far.
    const RunTotals &totals() const { return record().totals; }
    const RunRecord &record() const { return m_recorder.record(); }

Q_SIGNALS:
    void changed();

private:
    const RunRecorder &m_recorder;
    const TestProgram &m_program;
    std::function<QString()> m_address;
};
