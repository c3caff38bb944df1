#pragma once

#include "model/LoadRatings.h"

#include <QList>
#include <QString>
#include <QStringList>

class TestProgram;

// The one judge of the numbers a step holds, asked before anything of it is sent: by the editor
// before it writes a step, and by the station before a run starts and again once the run's load
// has said who it is. Each field is held to its own rule (EditorFieldTable), to the load's rating
// of its unit, and to the fields it goes with (the function's FieldRelations); each refusal names
// the step and the field as the editor labels it.
class StepJudge
{
public:
    struct Refusal
    {
        int row = 0;
        // The field's label; for a value of a sub-step table, its label and the sub-step.
        QString field;
        QString why;

        // "Step 3, Load Value: -1 A cannot be negative."
        QString text() const;
        bool operator==(const Refusal &) const = default;
    };

    // Where a step's cells come from. Stored: the step table or a file, read by the run as they
    // stand. Editor: about to be written by the editor, which writes its number fields as numbers,
    // so that a blank stop condition there becomes 0.
    enum class Source { Stored, Editor };

    explicit StepJudge(LoadRatings ratings = {}) : m_ratings(ratings) { }

    // The refusals of one step (its cells by column), in the order of its fields; none for a step
    // whose function is outside the catalogue, which the run does not start.
    QList<Refusal> judgeStep(int row, const QStringList &cells, Source source = Source::Stored) const;
    // The refusals of every step of the program, step by step.
    QList<Refusal> judgeProgram(const TestProgram &program) const;

    // One line per refusal.
    static QStringList texts(const QList<Refusal> &refusals);

private:
    LoadRatings m_ratings;
};
