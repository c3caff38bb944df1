#pragma once

#include <QString>

class RunArchive;
struct StoredRun;

// A stored run as an A4 PDF to file with the unit under test: the run's fields and result, the
// chart of V, I and P with its steps, the table of steps, and the settings and program it ran with.
class RunReport
{
public:
    // Written to `pdfPath` as OutputFile writes it ("-": standard output). An empty text on success,
    // else the path and the reason.
    static QString write(const RunArchive &archive, const StoredRun &run, const QString &pdfPath);
};
