#pragma once

#include <QProcess>

// Waits for a process to end, with no time limit: a busy machine only makes the test slower, and
// the test runner's own time-out catches a process that never ends. A process whose end the event
// loop has already taken (while a test waited on something else) has ended too, although
// QProcess::waitForFinished() answers false for it.
inline bool waitForEnd(QProcess &process)
{
    if (process.state() != QProcess::NotRunning)
        process.waitForFinished(-1);
    return process.state() == QProcess::NotRunning && process.error() != QProcess::FailedToStart;
}

// What `program` writes on standard output, once it has ended well; "" when it fails or is missing.
inline QString outputOf(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!waitForEnd(process) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}
