#pragma once

#include "run/RunOptions.h"

#include <QObject>
#include <QString>
#include <QStringList>

// What a run tells those who show or keep it. The run's sequencer emits these; everything that
// shows or keeps a run listens, and none reaches back into the run.
class RunEvents : public QObject
{
    Q_OBJECT

public:
    // How a step ended.
    static inline const QString EndedByTime = QStringLiteral("time");
    static inline const QString EndedByVoltage = QStringLiteral("voltage");
    static inline const QString EndedByCurrent = QStringLiteral("current");
    static inline const QString EndedByCapacity = QStringLiteral("capacity");
    // The load's own test ended.
    static inline const QString EndedByLoad = QStringLiteral("load");
    static inline const QString EndedByStop = QStringLiteral("stopped");
    static inline const QString EndedByLostLoad = QStringLiteral("lost");
    static inline const QString EndedByError = QStringLiteral("error");

    // How a run ended.
    enum class Result { Pass, Fail, Stopped, Lost, Error };
    Q_ENUM(Result)
    static QString resultText(Result result);

    struct Sample
    {
        double elapsedSeconds = 0;
        double volts = 0, amps = 0, watts = 0, ampHours = 0, wattHours = 0;
        int step = 0;
    };

    struct Verdict
    {
        int step = 0;
        bool pass = false;
        // The value the verdict row shows.
        QString value;
    };

    using QObject::QObject;

Q_SIGNALS:
    void runStarted(const RunOptions &options);
    void stepStarted(int step, const QString &function);
    void sample(const RunEvents::Sample &sample);
    // Every result row (samples, stops, verdicts) as the log shows it, in the order made.
    void rowMade(const QStringList &cells);
    void stepEnded(int step, const QString &how);
    void verdict(const RunEvents::Verdict &verdict);
    void stepTimeLeftChanged(const QString &text);
    // The load missed a reply, or its connection went, in `step`: the link is being made again.
    // replyGap follows once it answers, runEnded if it never does.
    void loadSilent(int step);
    // The load gave no reply from `fromSeconds` to `toSeconds` of the run's elapsed time, was
    // reached again and the run went on; no row stands for the gap.
    void replyGap(int step, double fromSeconds, double toSeconds);
    // Once the run's off lines are out.
    void runEnded(RunEvents::Result result, const QString &message);
};
