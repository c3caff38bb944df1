#pragma once

#include "commands/CommandError.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

struct StepValues;

// The lines and pauses of one builder, made in full from the running step before anything is
// sent. Each value reader turns a cell into one of the command forms; the first cell that cannot
// be turned into its form is kept as the plan's error, and a plan with an error is never sent, so
// no half-made line reaches an instrument. The run sends it (PlanSender).
class CommandPlan
{
public:
    struct Item
    {
        // The line to send; empty for a pause.
        QString line;
        double waitMs = 0;
    };

    CommandPlan(const StepValues &step, QString ratedCurrent);

    void send(const QString &line);
    void wait(double ms);

    // The cell text exactly as stored.
    QString stored(int column);
    // A number cell's text as stored ("2.50", "1k"): text that does not start with a number is
    // refused, or the load would refuse the line and go on at the level it held before. An empty
    // cell goes out as the bare keyword, as the load takes it.
    QString value(int column);
    // The cell read as a number, rounded halves to even into 16 or 32 bits, in decimal.
    QString integer16(int column);
    QString integer32(int column);
    // The cell read as a number, written in its shortest form.
    QString real(int column);
    // The cell read as a number, rounded to four decimals, written without trailing zeros.
    QString fixed4(int column);
    // The cell's leading number as a level of the generator: 10 is the rated current.
    QString scaled(int column);
    // The rated current divided by `divisor`, in the "0.0000" format.
    QString ratedFourDecimals(double divisor);
    // A count read from a cell as integer16 (0 after a problem).
    int count16(int column);
    // Element `index` of the packed list in `column`, as stored.
    QString element(int column, int index);
    // The number of sub-steps in the packed list of `column`.
    int subStepCount(int column) const;

    const CommandResult &error() const { return m_error; }
    const QList<Item> &items() const { return m_items; }
    // The lines as they would go out, pauses left out.
    QStringList lines() const;

private:
    void fail(int column, const QString &problem);
    QString checkedText(int column, const QString &text);
    std::optional<double> number(int column);
    std::optional<double> positiveRatedCurrent();

    const StepValues &m_step;
    QString m_ratedCurrent;
    QList<Item> m_items;
    CommandResult m_error;
};
