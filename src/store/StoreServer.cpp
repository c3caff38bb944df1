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

QSqlDatabase StoreServer::addConnection(const QString &connection) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(Driver, connection);
    db.setHostName(host);
    db.setPort(port);
    db.setDatabaseName(database);
    db.setUserName(user);
    QStringList options{QStringLiteral("connect_timeout=%1").arg(connectTimeoutSeconds)};
    if (!sslMode.isEmpty())
        options.append(QStringLiteral("sslmode=") + sslMode);
    db.setConnectOptions(options.join(u';'));
    return db;
}
