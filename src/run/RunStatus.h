#pragma once

#include "run/RunRecorder.h"

#include <QObject>

class TestProgram;

// Where the run stands, for a glance from across the bench: what it is doing, how long it has
// been going, the step's time left and the latest reading, read from the run's record.
class RunStatus : public QObject
{
    Q_OBJECT

public:
    enum class Phase { Idle, Identifying, Running, Stopped, FinishedPass, FinishedFail, Lost, Error };
    Q_ENUM(Phase)

    RunStatus(const RunRecorder &recorder, const TestProgram &program, QObject *parent = nullptr);

    Phase phase() const;
    // "Idle", "Identifying", "Running step 3 of 8 (Discharge)", "Stopped", "Finished PASS", ...
    QString text() const;
    // Since Run; held once the run has ended.
    double elapsedSeconds() const { return m_recorder.elapsedSeconds(); }
    // The running step's time left as the step time box shows it; "" when the step has none.
    QString timeLeft() const;
    // Seconds as every view of a step's time left shows them: "838.2 s".
    static QString secondsText(Fixed4 seconds);
    // The latest sample of this run; none before its first.
    const Sample &lastSample() const { return record().last; }
    bool hasSample() const { return record().samples > 0; }
    // What the whole run has drawn so far.
    const RunTotals &totals() const { return record().totals; }
    const RunRecord &record() const { return m_recorder.record(); }

Q_SIGNALS:
    void changed();

private:
    const RunRecorder &m_recorder;
    const TestProgram &m_program;
};
