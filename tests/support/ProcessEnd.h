#pragma once

#include <QProcess>
#include <csignal>
#include <sys/types.h>

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

// Sends `signal` to the process while it runs. Once it has ended its id reads 0, and kill(0) would
// signal the whole process group: the test run itself. False when it had already ended.
inline bool signalRunning(const QProcess &process, int signal)
{
    const qint64 pid = process.processId();
    return pid > 0 && ::kill(pid_t(pid), signal) == 0;
}
