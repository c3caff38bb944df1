#pragma once

#include "model/Fixed4.h"
#include "run/LoadOff.h"
#include "run/LogRow.h"
#include "run/RunOptions.h"
#include "run/RunResult.h"
#include "run/Sample.h"
#include "run/StepEnd.h"
#include "run/Verdict.h"

#include <QObject>
#include <QString>

// What the sequencer tells of a run as it goes. The run's recorder folds these into the run's
// record; whatever shows or keeps a run reads that record, and none reaches back into the run.
class RunEvents : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

Q_SIGNALS:
    void runStarted(const RunOptions &options);
    void stepStarted(int row, const QString &function);
    void sample(const Sample &sample);
    // Every row of the log (samples and verdicts), in the order made.
    void rowMade(const LogRow &row);
    void stepEnded(int row, StepEnd end);
    void verdict(int row, const Verdict &verdict);
    void stepTimeLeftChanged(Fixed4 timeLeft);
    // The load missed a reply, or its connection went, in step `row`: the link is being made again.
    // replyGap follows once it answers, runEnded if it never does.
    void loadSilent(int row);
    // The load gave no reply from `fromSeconds` to `toSeconds` of the run's elapsed time, was
    // reached again and the run went on; no row stands for the gap.
    void replyGap(int row, double fromSeconds, double toSeconds);
    // Over a reopened link, the load's own test of step `row` was started again `atSeconds` into
    // the run: no answer had shown that its first start arrived, so it may run twice.
    void loadTestRestarted(int row, const QString &function, double atSeconds);
    // What became of the run's off lines: once just before runEnded, and again whenever a later
    // try reaches a load that was left unconfirmed.
    void loadOffChanged(const LoadOff &off);
    // Once the run's off lines are out.
    void runEnded(RunResult result, const QString &message);
};
