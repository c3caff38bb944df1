#pragma once

#include "run/MeasureReply.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

class CancelToken;
class Clock;
class InstrumentLink;
class TraceList;

// Sends the load its off lines and proves they took: a reading asked after them on the same
// connection proves they arrived (the load takes its lines in order), and its current near zero
// proves the load obeyed. A load that still reads current is told again before it counts as on.
class OffConfirmer
{
public:
    // One wait for a reply, unless set: a run's end must not hang on a load that does not answer.
    static constexpr int ReplyLimitMs = 2000;
    // A load's input takes a moment to fall after "LOAD OFF": it is read again this often, at
    // most SettleReadings times, before it is told again.
    static constexpr int SettleMs = 200;
    static constexpr int SettleReadings = 3;
    // Off reads as at most 0.1 % of the rated current, and never less than 10 mA: a load's zero
    // offset is well under it, a cell still discharged at the smallest test current well over.
    static constexpr double OffFractionOfRating = 0.001;
    static constexpr double OffFloorAmps = 0.01;

    struct Outcome
    {
        enum class Kind {
            Confirmed,
            // No reading came: the lines may not have arrived.
            Unanswered,
            // Another instrument answers at the load's address: it was sent nothing.
            Foreign,
            // The load read current after being told twice.
            StillOn,
        };
        Kind kind = Kind::Unanswered;
        // The current of the last reading (Confirmed, StillOn).
        double amps = 0;
        // Foreign: the model that answered.
        QString model;
    };

    OffConfirmer(InstrumentLink &load, Clock &clock, TraceList &trace);

    // The lines that switch the load off, in order ("LOAD OFF" last).
    void setOffLines(const QStringList &lines) { m_offLines = lines; }
    const QStringList &offLines() const { return m_offLines; }
    // The model the load named; empty: whatever answers is taken for it.
    void setExpectedModel(const QString &model) { m_expectedModel = model; }
    // The load's rated current, as identification found it ("" when not known).
    void setRatedCurrent(const QString &amps);
    // Waits end at once when `cancel` fires; none: they run their course.
    void setCancelToken(const CancelToken *cancel) { m_cancel = cancel; }
    // How long a reply is waited for; a load that does not answer in this is taken as out of reach.
    void setReplyLimitMs(int ms) { m_replyLimitMs = ms; }

    // The most current a load switched off may read.
    static double offLimit(double ratedAmps);
    double offLimit() const { return offLimit(m_ratedAmps); }

    // Over the connection as it is: the off lines, then the proof.
    QCoro::Task<Outcome> sendAndConfirm();
    // Over a new connection: who answers, then the off lines and the proof.
    QCoro::Task<Outcome> reopenAndConfirm(int reopenLimitMs);

private:
    QCoro::Task<> sendOffLines();
    // The load's current, or none when no reading came.
    QCoro::Task<std::optional<double>> readCurrent();
    QCoro::Task<Outcome> confirm();
    bool cancelled() const;

    InstrumentLink &m_load;
    Clock &m_clock;
    TraceList &m_trace;
    const CancelToken *m_cancel = nullptr;
    QStringList m_offLines{QStringLiteral("LOAD OFF")};
    QString m_expectedModel;
    double m_ratedAmps = 0;
    MeasureReply::Bounds m_bounds;
    int m_replyLimitMs = ReplyLimitMs;
};
