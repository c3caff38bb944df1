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
// a missing file loads nothing and is no failure. A file that cannot be read, or that holds no
// step of a known function (no step at all included), is refused and leaves the grid untouched.
// Lines with more than 32 fields keep their first 32; the result then warns.
Result LoadTestFile(TestProgram &program, const QString &path);

// The file holds what SaveTestFile writes for a program of no steps: its header line alone.
bool holdsEmptyProgram(const QString &path);

// The lines of a file as fields, header line included, without touching any grid. A file that
// starts with a UTF-8 or UTF-16 byte-order mark is read as the mark says; any other as UTF-8 whose
// bytes that are not valid UTF-8 are kept (LosslessText).
struct Content
{
    QList<QStringList> lines;
    QList<int> linesWithExtraFields; // 1-based line numbers
};
Result readContent(const QString &path, Content &content);

} // namespace TestStepFile
