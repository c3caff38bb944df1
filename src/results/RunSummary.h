#pragma once

#include "run/RunRecorder.h"

#include <QJsonObject>
#include <QList>
#include <QObject>

// The run's summary: one line per step that ran, the run's totals and its result, read from the
// run's record. The window shows it as text when a run ends; vornic-run and Save Log write it as
// JSON.
class RunSummary : public QObject
{
    Q_OBJECT

public:
    explicit RunSummary(const RunRecorder &recorder, QObject *parent = nullptr);

    const RunRecord &record() const { return m_recorder.record(); }
    bool isFinished() const { return record().isFinished(); }
    // "PASS", "FAIL", "STOPPED", "LOST", "ERROR"; "" while the run goes on.
    QString result() const { return record().resultText(); }
    QString program() const { return record().options.programFile; }
    QDateTime started() const { return record().startedAt; }

    // {"result", "program", "model", "started", "ended", "message", "load_off": null or {"state",
    // "address", "since", "confirmed_at", "amps"}, "totals": {"ah", "wh", "seconds"}, "steps":
    // [{"step", "function", "started", "end", "verdict", "value", "unit", "ah", "wh", "v", "i",
    // "seconds"}]}
    static QJsonObject toJson(const RunRecord &run);
    QJsonObject toJson() const { return toJson(record()); }
    // A plain text table for the operator, one line per step, then the run's totals and result.
    static QString toText(const RunRecord &run);
    QString toText() const { return toText(record()); }
    // The table of toText() for any steps, such as a stored run's; and one step as toJson() has it.
    static QString stepsText(const QList<StepRecord> &steps);
    static QString totalsText(const RunTotals &totals);
    static QJsonObject stepJson(const StepRecord &step);
    static QJsonObject totalsJson(const RunTotals &totals);
    // Writes toJson() to `path` as OutputFile writes it ("-": standard output), a regular file whole
    // or not at all; an empty text on success, else the path and the reason.
    QString writeJson(const QString &path) const;

Q_SIGNALS:
    // The run has ended and the summary is complete.
    void finished();

private:
    const RunRecorder &m_recorder;
};
