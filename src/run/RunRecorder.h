#pragma once

#include "run/RunEvents.h"
#include "run/RunRecord.h"

#include <QObject>
#include <functional>

class Clock;

// Folds the run's events into its record, and only then says what changed: a listener reads a
// record that already holds the event it hears of, wherever it was connected, and one connected
// mid-run finds the run so far in record().
class RunRecorder : public QObject
{
    Q_OBJECT

public:
    // `model` names the load the run identified; it is asked when the run ends.
    RunRecorder(RunEvents &events, Clock &clock, std::function<QString()> model, QObject *parent = nullptr);

    const RunRecord &record() const { return m_record; }
    // Since the run started; held once it has ended; 0 before any run.
    double elapsedSeconds() const;

Q_SIGNALS:
    void runStarted();
    void stepStarted(const StepRecord &step);
    void sampleAdded(const Sample &sample);
    void rowAdded(const LogRow &row);
    void stepEnded(const StepRecord &step);
    void verdictAdded(const StepRecord &step);
    void stepTimeLeftChanged();
    void runEnded(const RunRecord &record);
    // After the run's end: a load left unconfirmed was reached and confirmed off.
    void loadOffChanged(const RunRecord &record);
    // Anything of the record changed.
    void changed();

private:
    void onRunStarted(const RunOptions &options);
    void onStepStarted(int row, const QString &function);
    void onSample(const Sample &sample);
    void onRowMade(const LogRow &row);
    void onStepEnded(int row, StepEnd end);
    void onVerdict(int row, const Verdict &verdict);
    void onStepTimeLeft(Fixed4 timeLeft);
    void onLoadSilent();
    void onAnswersAgain();
    void onLoadOff(const LoadOff &off);
    void onRunEnded(RunResult result, const QString &message);
    void close(StepEnd end);
    void dropJumpStep();
    double secondsSince(qint64 tick) const;

    Clock &m_clock;
    std::function<QString()> m_model;
    RunRecord m_record;
    qint64 m_startTick = 0;
    qint64 m_endTick = -1;
    qint64 m_openTick = 0;
    // What the steps before the running one drew.
    double m_closedAmpHours = 0, m_closedWattHours = 0;
};
