// Memory of a long run: the real engine against the virtual load over loopback TCP at a 10 ms
// sampling interval, on a clock that skips the waits between samples (VirtualClock), so a million
// rows take minutes. The virtual load (vornic-sim's library) serves in this process: a reply then
// needs no other process to be scheduled, which on a busy machine would set the pace. At each row
// count asked for it prints the resident set, the heap in use and what the run keeps: the result
// log's rows, the trace list's lines, the log file's size on disk and the run store's write-ahead
// log. With --silent-server the settings name a lab server that takes connections and never
// answers, as a frozen network would, so the runs' forwarding fails all along.
// Usage: bench-memory [--interval MS] [--silent-server] DIR ROWS...
//        (the settings file, the run's log and the run store go into DIR)

#include "DischargeStep.h"
#include "SimInstruments.h"
#include "SimTcpListener.h"
#include "VirtualClock.h"
#include "station/Engine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>
#include <malloc.h>

namespace {

long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    int intervalMs = 10;
    bool silentServer = false;
    while (!arguments.isEmpty() && arguments.first().startsWith(u"--")) {
        const QString option = arguments.takeFirst();
        if (option == u"--interval" && !arguments.isEmpty())
            intervalMs = arguments.takeFirst().toInt();
        else if (option == u"--silent-server")
            silentServer = true;
    }
    if (arguments.size() < 2 || intervalMs <= 0) {
        std::fprintf(stderr, "usage: bench-memory [--interval MS] [--silent-server] DIR ROWS...\n");
        return 2;
    }
    QList<int> marks;
    for (const QString &mark : arguments.mid(1))
        marks.append(mark.toInt());
    const QDir dir(arguments.first());
    const QString logPath = dir.filePath(QStringLiteral("memory.csv"));

    // Takes every connection and holds it, reading nothing and answering nothing.
    QTcpServer server;
    QList<QTcpSocket *> held;
    if (silentServer) {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [&] {
            while (QTcpSocket *socket = server.nextPendingConnection())
                held.append(socket);
        });
    }

    SimConfig config;
    config.source = SourceModel::supplyDefaults();
    SimInstruments instruments(config, 1.0);
    SimTcpListener load(instruments, SimInstrument::Load, FaultSet());
    QString error;
    if (!load.listen(0, &error)) {
        std::fprintf(stderr, "bench-memory: %s\n", qPrintable(error));
        return 2;
    }
    const QString iniPath = dir.filePath(QStringLiteral("VORN.INI"));
    QFile ini(iniPath);
    if (!ini.open(QIODevice::WriteOnly))
        return 2;
    ini.write(QStringLiteral("[Load Option]\r\nConnectMode=2\r\nLanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\n"
                             "LanPort=%1\r\n")
                  .arg(load.port())
                  .toLatin1());
    if (silentServer)
        ini.write(QStringLiteral("[Store]\r\nHost=127.0.0.1\r\nPort=%1\r\nDatabase=lab\r\n")
                      .arg(server.serverPort())
                      .toLatin1());
    ini.close();

    VirtualClock clock;
    Engine engine(clock, iniPath);
    engine.loadSettings();
    engine.setLogFilePath(logPath);
    DischargeStep::fill(engine.program(), (marks.last() + 10) * intervalMs / 1000.0);

    int rows = 0;
    QElapsedTimer real;
    real.start();
    QObject::connect(&engine.run().events(), &RunEvents::rowMade, [&] {
        ++rows;
        if (marks.isEmpty() || rows != marks.first())
            return;
        marks.removeFirst();
        std::printf("rows %d rss_kb %ld heap_kb %zu result_rows %d trace_lines %lld csv_bytes %lld wal_bytes %lld "
                    "real_s %.1f\n",
            rows, statusKb("VmRSS:"), mallinfo2().uordblks / 1024, engine.results().rowCount(),
            static_cast<long long>(engine.trace().lines().size()), static_cast<long long>(QFileInfo(logPath).size()),
            static_cast<long long>(QFileInfo(engine.runStore().path() + QStringLiteral("-wal")).size()),
            real.elapsed() / 1000.0);
        std::fflush(stdout);
        // Stop as the operator would, from the event loop, not from inside the run's own signal.
        if (marks.isEmpty())
            QTimer::singleShot(0, &engine.run(), &RunController::stop);
    });
    QObject::connect(&engine.run().events(), &RunEvents::runEnded, [] { QCoreApplication::quit(); });
    if (!engine.startRun(QStringLiteral("bench")))
        return 2;
    engine.measureOptions().setMeasTimeText(QString::number(intervalMs));
    QCoreApplication::exec();
    return marks.isEmpty() ? 0 : 2;
}
