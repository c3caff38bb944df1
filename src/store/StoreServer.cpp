#include "store/StoreServer.h"

#include "settings/IniFile.h"

#include <QSqlDatabase>
#include <QStringList>

namespace {

QString storeKey(const QString &iniPath, const char *key)
{
    return IniFile::ReadIniString(iniPath, QStringLiteral("Store"), QString::fromLatin1(key), QString()).trimmed();
}

} // namespace

StoreServer StoreServer::fromIni(const QString &iniPath, QString *problem)
{
    StoreServer server;
    problem->clear();
    server.host = storeKey(iniPath, "Host");
    if (const QString portText = storeKey(iniPath, "Port"); !portText.isEmpty()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (ok && port > 0 && port < 65536) {
            server.port = port;
        } else if (server.isSet()) {
            // Connecting to the default port instead would reach another server, or none, and say
            // nothing of the typing error.
            *problem = QStringLiteral("%1: [Store] Port=%2 is not a port number (1 to 65535); the lab server is not "
                                      "used")
                           .arg(iniPath, portText);
            server.host.clear();
        }
    }
    server.database = storeKey(iniPath, "Database");
    server.user = storeKey(iniPath, "User");
    server.sslMode = storeKey(iniPath, "SslMode");
    if (server.database.isEmpty())
        server.database = QStringLiteral("vornic");
    return server;
}

QString StoreServer::describe() const
{
    return QStringLiteral("%1%2:%3/%4").arg(user.isEmpty() ? QString() : user + u'@', host).arg(port).arg(database);
}

QList<QPair<QString, QString>> StoreServer::connectionOptions() const
{
    // A network that goes away without a word is found by the kernel: an idle connection that
    // waits for an answer is probed after 10 s and given up after three probes 3 s apart, and data
    // the server has not acknowledged for 15 s ends the connection. The statement and lock limits
    // go with the session, so that a server that is there but busy answers within them too.
    QList<QPair<QString, QString>> options{{QStringLiteral("host"), host},
        {QStringLiteral("port"), QString::number(port)}, {QStringLiteral("dbname"), database},
        {QStringLiteral("connect_timeout"), QString::number(connectTimeoutSeconds)},
        {QStringLiteral("keepalives"), QStringLiteral("1")}, {QStringLiteral("keepalives_idle"), QStringLiteral("10")},
        {QStringLiteral("keepalives_interval"), QStringLiteral("3")},
        {QStringLiteral("keepalives_count"), QStringLiteral("3")},
        {QStringLiteral("tcp_user_timeout"), QStringLiteral("15000")},
        {QStringLiteral("options"),
            QStringLiteral("-c statement_timeout=%1 -c lock_timeout=%2").arg(statementTimeoutMs).arg(lockTimeoutMs)}};
    if (!user.isEmpty())
        options.append({QStringLiteral("user"), user});
    if (!sslMode.isEmpty())
        options.append({QStringLiteral("sslmode"), sslMode});
    return options;
}

QSqlDatabase StoreServer::addConnection(const QString &connection) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(Driver, connection);
    db.setHostName(host);
    db.setPort(port);
    db.setDatabaseName(database);
    db.setUserName(user);
    // Qt's driver joins its options into a connection string: each value is quoted as libpq reads
    // quotes there, so that none can end early and add an option of its own. The driver splits the
    // options at ';', which a value therefore cannot hold.
    static const QStringList ownFields{
        QStringLiteral("host"), QStringLiteral("port"), QStringLiteral("dbname"), QStringLiteral("user")};
    QStringList options;
    for (const auto &[keyword, value] : connectionOptions()) {
        if (ownFields.contains(keyword) || value.contains(u';'))
            continue;
        QString quoted = value;
        quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        options.append(QStringLiteral("%1='%2'").arg(keyword, quoted));
    }
    db.setConnectOptions(options.join(u';'));
    return db;
}
