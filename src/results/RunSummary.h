#pragma once

#include "run/RunEvents.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <functional>

class Clock;

// One answer per step that ran, and the run's result: a listener of the run's events. The window
// shows it as text when a run ends; vornic-run and Save Log write it as JSON.
class RunSummary : public QObject
{
    Q_OBJECT

public:
    struct Step
    {
        int step = 0;
        QString function;
        QDateTime started;
        double seconds = 0;
        // RunEvents' EndedBy... text: "time", "voltage", "current", "capacity", "load", "stopped",
        // "lost", "error"; "" while the step runs.
        QString end;
        // "PASS", "FAIL" or "".
        QString verdict;
        QString value;
        // At the step's last sample.
        double ampHours = 0, wattHours = 0, volts = 0, amps = 0;
    };

    // `model` names the load the run identified (asked when the run ends).
    RunSummary(RunEvents &events, Clock &clock, std::function<QString()> model, QObject *parent = nullptr);

    bool isFinished() const { return m_finished; }
    // "PASS", "FAIL", "STOPPED", "LOST", "ERROR"; "" while the run goes on.
    QString result() const { return m_result; }
    QString message() const { return m_message; }
    QString program() const { return m_program; }
    QString model() const { return m_model; }
    QDateTime started() const { return m_started; }
    QDateTime ended() const { return m_ended; }
    const QList<Step> &steps() const { return m_steps; }

    // {"result", "program", "model", "started", "ended", "message", "steps": [{"step", "function",
    // "started", "end", "verdict", "value", "ah", "wh", "v", "i", "seconds"}]}
    QJsonObject toJson() const;
    // A plain text table for the operator, one line per step.
    QString toText() const;
    // The table of toText() for any steps, such as a stored run's; and one step as toJson() has it.
    static QString stepsText(const QList<Step> &steps);
    static QJsonObject stepJson(const Step &step);
    // Writes toJson() to `path` as OutputFile writes it ("-": standard output), a regular file whole
    // or not at all; an empty text on success, else the path and the reason.
    QString writeJson(const QString &path) const;

Q_SIGNALS:
    // The run has ended and the summary is complete.
    void finished();
    // A step was added or changed.
    void changed();

private:
    void onRunStarted(const RunOptions &options);
    void onStepStarted(int step, const QString &function);
    void onSample(const RunEvents::Sample &sample);
    void onStepEnded(int step, const QString &how);
    void onVerdict(const RunEvents::Verdict &verdict);
    void onRunEnded(RunEvents::Result result, const QString &message);
    void close(const QString &how);
    void dropJumpStep();
    double secondsSinceOpened() const;

    Clock &m_clock;
    std::function<QString()> m_modelName;
    QList<Step> m_steps;
    QString m_result, m_message, m_program, m_model;
    QDateTime m_started, m_ended;
    bool m_finished = false;
    // The step that has started and not ended: its index in m_steps, or -1.
    int m_open = -1;
    qint64 m_openTick = 0;
    bool m_openSampled = false;
};
