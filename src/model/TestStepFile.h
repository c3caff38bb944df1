#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class TestProgram;

// The test step file (".TSF"): the step table as comma-separated lines ended by CR LF, the header
// line first. Saving writes the grid as it stands; loading takes the cells as they come.
namespace TestStepFile {

// The most steps a program can hold.
constexpr int MaxSteps = 100000;

struct Result
{
    bool ok = true;
    // For a failure: the path and the system's reason. For a success: a warning, or empty.
    QString message;
};

// SaveTestFile: replaces the file with the header line and one line per step, and traces the
// path and every line. The file is replaced whole or not at all.
Result SaveTestFile(
    const TestProgram &program, const QString &path, const std::function<void(const QString &)> &trace = {});

// LoadTestFile: fills the grid the caller prepared (SetupStepGrid) from the file. An empty path or
// a missing file loads nothing and is no failure. A file that cannot be read leaves the grid
// untouched. Lines with more than 32 fields keep their first 32; the result then warns.
Result LoadTestFile(TestProgram &program, const QString &path);

// The lines of a file as fields, header line included, without touching any grid.
struct Content
{
    QList<QStringList> lines;
    QList<int> linesWithExtraFields; // 1-based line numbers
};
Result readContent(const QString &path, Content &content);

} // namespace TestStepFile
