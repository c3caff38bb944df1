#include "PgCluster.h"
#include "ProcessEnd.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace {

const QByteArray Password = "bench-secret";

QString serverBinaries()
{
    const QStringList versions
        = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (auto version = versions.crbegin(); version != versions.crend(); ++version) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*version);
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return {};
}

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

PgCluster::PgCluster()
{
    m_bin = serverBinaries();
    if (m_bin.isEmpty()) {
        m_problem = QStringLiteral("PostgreSQL's server is not installed (Debian: postgresql)");
        return;
    }
    m_asPostgres = ::geteuid() == 0;
    if (m_asPostgres) {
        const passwd *postgres = ::getpwnam("postgres");
        if (!postgres || ::chown(qPrintable(m_dir.path()), postgres->pw_uid, postgres->pw_gid) != 0) {
            m_problem = QStringLiteral("no postgres user to run the server as");
            return;
        }
    }
    QFile pwfile(m_dir.filePath(QStringLiteral("pwfile")));
    if (!pwfile.open(QIODevice::WriteOnly) || pwfile.write(Password + '\n') < 0)
        m_problem = QStringLiteral("cannot write the password file");
    pwfile.close();
    pwfile.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadOther);
    // libpq reads the password from here; it ignores a file others could read.
    const QString passFile = m_dir.filePath(QStringLiteral("pgpass"));
    m_port = freePort();
    QFile pass(passFile);
    if (!pass.open(QIODevice::WriteOnly)
        || pass.write("127.0.0.1:" + QByteArray::number(m_port) + ":*:" + User.toUtf8() + ':' + Password + '\n') < 0)
        m_problem = QStringLiteral("cannot write the pgpass file");
    pass.close();
    pass.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    qputenv("PGPASSFILE", passFile.toLocal8Bit());
    if (m_problem.isEmpty()
        && !run({m_bin + QStringLiteral("/initdb"), QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
            QStringLiteral("-U"), User, QStringLiteral("--pwfile=") + pwfile.fileName(),
            QStringLiteral("--auth-local=trust"), QStringLiteral("--auth-host=scram-sha-256"), QStringLiteral("-E"),
            QStringLiteral("UTF8"), QStringLiteral("--no-sync")}))
        return;
    if (m_problem.isEmpty())
        start();
}

PgCluster::~PgCluster()
{
    if (m_running)
        stop();
}

bool PgCluster::start()
{
    // fsync off: a test's data need not survive the machine.
    m_running = run({m_bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
        QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"), QStringLiteral("-o"),
        QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=60")
            .arg(m_port)
            .arg(m_dir.path()),
        QStringLiteral("start")});
    return m_running;
}

bool PgCluster::stop(bool immediately)
{
    const bool stopped
        = run({m_bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
            QStringLiteral("-m"), immediately ? QStringLiteral("immediate") : QStringLiteral("fast"),
            QStringLiteral("-w"), QStringLiteral("stop")});
    m_running = m_running && !stopped;
    return stopped;
}

bool PgCluster::signalAll(int signal)
{
    QFile pidFile(m_dir.filePath(QStringLiteral("data/postmaster.pid")));
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    const pid_t postmaster = pid_t(pidFile.readLine().trimmed().toInt());
    if (postmaster <= 0 || ::kill(postmaster, signal) != 0)
        return false;
    // The children: /proc/PID/stat gives "PID (name) state PPID ...".
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> after = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (after.size() > 1 && after.at(1).toInt() == postmaster)
            ::kill(pid, signal);
    }
    return true;
}

QByteArray PgCluster::storeSettings() const
{
    return QStringLiteral("[Store]\r\nHost=127.0.0.1\r\nPort=%1\r\nDatabase=%2\r\nUser=%3\r\n")
        .arg(m_port)
        .arg(Database, User)
        .toUtf8();
}

StoreServer PgCluster::server() const
{
    StoreServer server;
    server.host = QStringLiteral("127.0.0.1");
    server.port = m_port;
    server.database = Database;
    server.user = User;
    return server;
}

bool PgCluster::run(const QStringList &command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_dir.path());
    if (m_asPostgres)
        process.start(QStringLiteral("runuser"),
            QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} + command);
    else
        process.start(command.first(), command.mid(1));
    if (!waitForEnd(process) || process.exitCode() != 0) {
        m_problem = QStringLiteral("%1: %2").arg(command.first(), QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}
