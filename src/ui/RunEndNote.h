#pragma once

#include <QMessageBox>
#include <QString>

struct RunRecord;

// What the box at the end of a finished run says, and the icon that tells PASS from FAIL at a
// glance.
struct RunEndNote
{
    // "Test Finished: PASS", or "Test Finished: FAIL" with the number of failed verdicts.
    QString text;
    QMessageBox::Icon icon = QMessageBox::Information;

    static RunEndNote of(const RunRecord &run);
};
