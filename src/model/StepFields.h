#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// A sub-step table's cells by (row, column), as the editor's grids hold them; cells outside the
// table read as empty.
class SubStepCells
{
public:
    QString cell(int row, int column) const { return m_cells.value(key(row, column)); }
    void setCell(int row, int column, const QString &text) { m_cells.insert(key(row, column), text); }

private:
    static quint64 key(int row, int column) { return (quint64(quint32(row)) << 32) | quint32(column); }
    QHash<quint64, QString> m_cells;
};

// What the step editor shows at the moment a row is built: the chooser's text, every field's text
// by field name (a load-mode field holds the selected option's caption, or "" when none is
// selected), and the three sub-step tables.
struct StepFields
{
    QString function;
    QHash<QString, QString> texts;
    SubStepCells ramp;
    SubStepCells sequence;
    SubStepCells cycleLife;

    QString text(const QString &field) const { return texts.value(field); }
};
