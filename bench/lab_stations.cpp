// A lab of STATIONS vornic-run stations on this machine, each against its own vornic-sim, sampling
// every 100 ms and forwarding to one PostgreSQL server of the benchmark's own, and a reader that
// reads the stations every 2 s as the Lab window does. Over SECONDS of steady running it measures
// what the server takes (rounds and samples a second, its CPU), how old the sample the Lab view
// shows is, and what the stations cost the machine.
// Usage: bench-lab-stations [STATIONS] [SECONDS]
// Prints a Markdown table.

#include "PgCluster.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "store/RunArchive.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Every round a station's state reaches the server, counted by the server itself.
const QStringList HeardLog{QStringLiteral("CREATE TABLE heard (station TEXT, heard_at TIMESTAMPTZ)"),
    QStringLiteral("CREATE FUNCTION log_heard() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN INSERT INTO heard "
                   "VALUES (NEW.station, NEW.heard_at); RETURN NEW; END $$"),
    QStringLiteral("CREATE TRIGGER heard AFTER INSERT OR UPDATE ON station_states FOR EACH ROW EXECUTE FUNCTION "
                   "log_heard()")};

constexpr int ReadEveryMs = 2000;

struct Station
{
    QString name;
    QTemporaryDir dir;
    std::unique_ptr<SimProcess> sim;
    QProcess runner;
    // The run's start by the station's own clock, once its store has it.
    QString runUuid;
    qint64 runStartedMs = 0;

    QString file(const char *name) const { return dir.filePath(QLatin1String(name)); }
};

// Runs each statement on the server; the first column of the last one's first row.
QString onServer(const StoreServer &server, const QStringList &statements)
{
    QString value;
    {
        QSqlDatabase db = server.addConnection(QStringLiteral("bench"));
        if (!db.open()) {
            std::fprintf(stderr, "bench-lab-stations: %s\n", qPrintable(db.lastError().text()));
            return value;
        }
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            if (!query.exec(statement))
                std::fprintf(stderr, "bench-lab-stations: %s\n", qPrintable(query.lastError().text()));
            else if (query.next())
                value = query.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return value;
}

// Discharge at 1 A between two rests; its steps end on time only. The window falls in the discharge,
// where no step change calls for a round of its own.
QByteArray program(int seconds)
{
    const QByteArray rest = ",Rest,,,,5,,,,,,,,,,,,,,,,,,,,,,,,,,";
    return TestFiles::crlfLines({"header", "1" + rest,
        "2,Discharge,CC,1,0," + QByteArray::number(seconds) + ",0,,,,,,,,,,,,,,,,,,,,,,,,0,0", "3" + rest});
}

// The start of the station's run, from its own store: the moment its samples' elapsed time counts from.
void learnRunStart(Station &station, const QString &uuid)
{
    const QString connection = QStringLiteral("station ") + station.name;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(station.file("runs.sqlite"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        QSqlQuery query(db);
        if (db.open() && query.prepare(QStringLiteral("SELECT started FROM runs WHERE uuid = ?"))) {
            query.addBindValue(uuid);
            if (query.exec() && query.next()) {
                station.runUuid = uuid;
                station.runStartedMs
                    = QDateTime::fromString(query.value(0).toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
            }
        }
    }
    QSqlDatabase::removeDatabase(connection);
}

// On-CPU time of all the process's threads, from the scheduler's nanosecond counts: /proc/PID/stat
// only counts 10 ms ticks, coarse for processes that wake for a fraction of a millisecond at a time.
qint64 cpuNs(qint64 pid)
{
    qint64 ns = 0;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks + u'/' + task + QStringLiteral("/schedstat"));
        if (schedstat.open(QIODevice::ReadOnly))
            ns += schedstat.readAll().split(' ').value(0).toLongLong();
    }
    return ns;
}

// User and system time of a process's ended children: only /proc/PID/stat has it, in ticks.
qint64 endedChildrenNs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // The fields after the command, whose name may hold spaces: state is field 3, cutime 16.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const qint64 ticks = fields.value(13).toLongLong() + fields.value(14).toLongLong();
    return ticks * 1000000000 / sysconf(_SC_CLK_TCK);
}

qint64 parentOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
}

// The server's CPU: the postmaster listening on `port` (with its ended children) and its children.
// Other clusters on the machine are left out.
qint64 serverNs(quint16 port)
{
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    const QByteArray portArgument = QByteArray("-p", 3) + QByteArray::number(port) + '\0';
    qint64 postmaster = 0;
    for (const QString &pid : pids) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(portArgument))
            postmaster = pid.toLongLong();
    }
    if (!postmaster)
        return 0;
    qint64 ns = cpuNs(postmaster) + endedChildrenNs(postmaster);
    for (const QString &pid : pids) {
        if (parentOf(pid.toLongLong()) == postmaster)
            ns += cpuNs(pid.toLongLong());
    }
    return ns;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(u' ', 0, 2) : QString();
}

// What is counted at each end of the window.
struct Snapshot
{
    qint64 wallMs = 0, serverNs = 0, runnerNs = 0, simNs = 0, rounds = 0, samples = 0;
};

Snapshot snapshot(const StoreServer &server, quint16 port, const std::vector<std::unique_ptr<Station>> &stations)
{
    Snapshot now;
    now.wallMs = QDateTime::currentMSecsSinceEpoch();
    now.serverNs = serverNs(port);
    for (const auto &station : stations) {
        now.runnerNs += cpuNs(station->runner.processId());
        now.simNs += cpuNs(station->sim->process().processId());
    }
    const QStringList counts = onServer(
        server, {QStringLiteral("SELECT (SELECT COUNT(*) FROM heard) || ' ' || (SELECT COUNT(*) FROM samples)")})
                                   .split(u' ');
    now.rounds = counts.value(0).toLongLong();
    now.samples = counts.value(1).toLongLong();
    return now;
}

// Nearest rank.
double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = std::max<size_t>(1, size_t(std::ceil(share * double(values.size()))));
    return values.at(std::min(rank, values.size()) - 1);
}

QString spread(const std::vector<double> &seconds)
{
    return QStringLiteral("%1 / %2 / %3 s (%4 readings)")
        .arg(percentile(seconds, 0.5), 0, 'f', 2)
        .arg(percentile(seconds, 0.95), 0, 'f', 2)
        .arg(percentile(seconds, 1), 0, 'f', 2)
        .arg(seconds.size());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 50;
    const int seconds = argc > 2 ? QByteArray(argv[2]).toInt() : 60;
    if (count < 1 || seconds < 10) {
        std::fprintf(stderr, "usage: bench-lab-stations [STATIONS] [SECONDS of 10 or more]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("VORNIC_BIN_DIR"))
        qputenv("VORNIC_BIN_DIR", QCoreApplication::applicationDirPath().toUtf8());
    const QString loadAtStart = loadAverage();

    PgCluster cluster;
    if (!cluster.problem().isEmpty()) {
        std::fprintf(stderr, "bench-lab-stations: %s\n", qPrintable(cluster.problem()));
        return 1;
    }
    const StoreServer server = cluster.server();
    // The store's schema is made by the first station's first round: wait for it before the log.
    std::vector<std::unique_ptr<Station>> stations;
    const QByteArray programText = program(seconds + 2 * count + 120);
    QElapsedTimer started;
    started.start();
    for (int n = 0; n < count; ++n) {
        auto &station = *stations.emplace_back(std::make_unique<Station>());
        station.name = QStringLiteral("Station %1").arg(n + 1, 2, 10, QLatin1Char('0'));
        station.sim = std::make_unique<SimProcess>(QStringList{"--tcp", "0", "--source", "supply"});
        if (!station.sim->waitForAnnouncements(1)) {
            std::fprintf(stderr, "bench-lab-stations: vornic-sim %d did not start\n", n + 1);
            return 1;
        }
        TestFiles::writeBytes(station.file("VORN.INI"),
            TestFiles::lanLoadSettings(station.sim->port(QStringLiteral("load"))) + cluster.storeSettings()
                + "Station=" + station.name.toUtf8() + "\r\n");
        TestFiles::writeBytes(station.file("lab.TSF"), programText);
        station.runner.setStandardOutputFile(station.file("out.txt"));
        station.runner.setStandardErrorFile(station.file("err.txt"));
        station.runner.start(TestFiles::binary("vornic-run"),
            {"--settings", station.file("VORN.INI"), "--log", station.file("run.CSV"), station.file("lab.TSF")});
        if (!station.runner.waitForStarted()) {
            std::fprintf(stderr, "bench-lab-stations: vornic-run %d did not start\n", n + 1);
            return 1;
        }
        if (n == 0) {
            const bool schema = QTest::qWaitFor(
                [&] {
                    return onServer(server, {QStringLiteral("SELECT to_regclass('station_states') IS NOT NULL")})
                        == QLatin1String("true");
                },
                60000);
            if (!schema) {
                std::fprintf(stderr, "bench-lab-stations: the first station made no schema on the server\n");
                return 1;
            }
            onServer(server, HeardLog);
        }
        // Stations of a lab start at any time, so their rounds fall at every moment of the Lab
        // view's 2 s: spread over those 2 s, so do these.
        QTest::qWait(ReadEveryMs / count);
    }
    const double startSeconds = double(started.elapsed()) / 1000;

    // Opened once and read every 2 s, as the Lab window does.
    RunArchive lab = RunArchive::server(server);
    QString error;
    if (!lab.open(&error)) {
        std::fprintf(stderr, "bench-lab-stations: %s\n", qPrintable(error));
        return 1;
    }
    QHash<QString, Station *> byName;
    for (const auto &station : stations)
        byName.insert(station->name, station.get());

    std::vector<double> toServer, toView, readMs;
    int running = 0, discharging = 0, silentReadings = 0;
    bool inWindow = false;
    std::optional<Snapshot> first;
    QString loadAtWindow;
    qint64 windowEndMs = 0;
    QElapsedTimer waited;
    waited.start();
    for (qint64 nextRead = QDateTime::currentMSecsSinceEpoch();; nextRead += ReadEveryMs) {
        QTest::qWait(int(std::max<qint64>(0, nextRead - QDateTime::currentMSecsSinceEpoch())));
        QElapsedTimer reading;
        reading.start();
        const std::optional<QList<StationState>> states = lab.stations(&error);
        const double readingMs = double(reading.nsecsElapsed()) / 1e6;
        const qint64 shownMs = QDateTime::currentMSecsSinceEpoch();
        if (!states) {
            std::fprintf(stderr, "bench-lab-stations: %s\n", qPrintable(error));
            continue;
        }
        running = discharging = 0;
        for (const StationState &state : *states) {
            Station *station = byName.value(state.station);
            if (!station || state.activity != StationState::Activity::Running || state.runUuid.isEmpty())
                continue;
            ++running;
            discharging += state.step == 2 ? 1 : 0;
            if (station->runUuid != state.runUuid)
                learnRunStart(*station, state.runUuid);
            if (!inWindow || station->runUuid != state.runUuid)
                continue;
            silentReadings += state.isSilent() ? 1 : 0;
            const double sampleMs = double(station->runStartedMs) + state.elapsedSeconds * 1000;
            toServer.push_back((double(state.heardAt.toMSecsSinceEpoch()) - sampleMs) / 1000);
            toView.push_back((double(shownMs) - sampleMs) / 1000);
        }
        if (inWindow) {
            readMs.push_back(readingMs);
            if (shownMs >= windowEndMs)
                break;
        } else if (discharging == count) {
            // Every station discharges and its rounds arrive: the steady window starts here.
            inWindow = true;
            loadAtWindow = loadAverage();
            first = snapshot(server, cluster.port(), stations);
            windowEndMs = nextRead + qint64(seconds) * 1000;
        } else if (waited.elapsed() > 300000) {
            std::fprintf(stderr, "bench-lab-stations: %d of %d stations discharging after 300 s\n", discharging, count);
            break;
        }
    }
    const auto stop = [&] {
        for (const auto &station : stations)
            station->runner.terminate();
        for (const auto &station : stations) {
            if (!station->runner.waitForFinished(60000))
                station->runner.kill();
        }
    };
    if (!first) {
        stop();
        return 1;
    }
    const Snapshot last = snapshot(server, cluster.port(), stations);
    const QString loadAtEnd = loadAverage();
    stop();

    const double window = double(last.wallMs - first->wallMs) / 1000;
    const auto share = [&](qint64 from, qint64 to, int of) { return double(to - from) / 1e9 / window / of * 100; };
    const double rounds = double(last.rounds - first->rounds) / window;
    std::printf("| Figure | %d stations, %d s |\n|---|---|\n", count, seconds);
    std::printf("| Machine | %u cores; load average %s at start, %s at the window's start, %s at its end |\n",
        std::thread::hardware_concurrency(), qPrintable(loadAtStart), qPrintable(loadAtWindow), qPrintable(loadAtEnd));
    std::printf("| Stations | %d started in %.1f s, %d running at the window's end |\n", count, startSeconds, running);
    std::printf("| Steady window | %.1f s |\n", window);
    std::printf("| Forwarding rounds received | %.1f /s (a station's every %.2f s) |\n", rounds,
        rounds > 0 ? count / rounds : 0.0);
    std::printf(
        "| Samples inserted | %.0f /s (%d /s sampled) |\n", double(last.samples - first->samples) / window, count * 10);
    std::printf("| Server CPU (postgres) | %.1f %% of a core |\n", share(first->serverNs, last.serverNs, 1));
    std::printf("| vornic-run CPU, per station | %.2f %% of a core (all: %.0f %%) |\n",
        share(first->runnerNs, last.runnerNs, count), share(first->runnerNs, last.runnerNs, 1));
    std::printf("| vornic-sim CPU, per station | %.2f %% of a core (all: %.0f %%) |\n",
        share(first->simNs, last.simNs, count), share(first->simNs, last.simNs, 1));
    std::printf("| Sample to server round: median / 95 %% / max | %s |\n", qPrintable(spread(toServer)));
    std::printf("| Sample to Lab view: median / 95 %% / max | %s |\n", qPrintable(spread(toView)));
    std::printf("| Readings of a silent station | %d |\n", silentReadings);
    std::printf("| Lab view's reading (`stations()`): median / max | %.1f / %.1f ms |\n", percentile(readMs, 0.5),
        percentile(readMs, 1));
    return 0;
}
