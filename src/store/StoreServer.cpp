#include "store/StoreServer.h"

#include "settings/ControlCharacter.h"
#include "settings/IniFile.h"
#include "store/RunStore.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QStringList>

namespace {

const QStringList SslModes{QStringLiteral("disable"), QStringLiteral("allow"), QStringLiteral("prefer"),
    QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};

QString storeKey(const QString &iniPath, const char *key)
{
    return IniFile::ReadIniString(iniPath, QStringLiteral("Store"), QString::fromLatin1(key), QString()).trimmed();
}

// What makes a Host, Database or User value unfit to name the server, "" when nothing does. A
// database or role name may hold a blank; a "keyword=" after one is another connection option
// pasted in, which would reach another database or lift the session's limits.
QString connectionValueFault(const QString &key, const QString &value)
{
    if (const std::optional<QChar> control = ControlCharacter::firstIn(value))
        return QStringLiteral("[Store] %1 holds a control character (%2)").arg(key, ControlCharacter::code(*control));
    static const QRegularExpression hostBreak(QStringLiteral("[\\s=]"));
    if (key == u"Host" && value.contains(hostBreak))
        return QStringLiteral("[Store] Host=%1 is not a host name or address (it holds a blank or \"=\")").arg(value);
    static const QRegularExpression pastedOption(QStringLiteral("(^|\\s)[A-Za-z_]+\\s*="));
    static const QRegularExpression connectionUri(
        QStringLiteral("^postgres(ql)?://"), QRegularExpression::CaseInsensitiveOption);
    if (value.contains(pastedOption) || value.contains(connectionUri))
        return QStringLiteral("[Store] %1=%2 holds another connection option, not a name alone").arg(key, value);
    return {};
}

} // namespace

StoreServer StoreServer::fromIni(const QString &iniPath, QString *problem)
{
    StoreServer server;
    QStringList problems;
    bool refused = false;
    const auto refuse = [&](const QString &fault) {
        refused = true;
        problems.append(QStringLiteral("%1: %2; the lab server is not used").arg(iniPath, fault));
    };
    server.host = storeKey(iniPath, "Host");
    const bool named = server.isSet();
    if (const QString portText = storeKey(iniPath, "Port"); !portText.isEmpty()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (ok && port > 0 && port < 65536) {
            server.port = port;
        } else if (named) {
            // Connecting to the default port instead would reach another server, or none, and say
            // nothing of the typing error.
            refuse(QStringLiteral("[Store] Port=%1 is not a port number (1 to 65535)").arg(portText));
        }
    }
    server.database = storeKey(iniPath, "Database");
    server.user = storeKey(iniPath, "User");
    server.sslMode = storeKey(iniPath, "SslMode").toLower();
    if (named) {
        for (const auto &[key, value] :
            {std::pair{QStringLiteral("Host"), server.host}, std::pair{QStringLiteral("Database"), server.database},
                std::pair{QStringLiteral("User"), server.user}}) {
            if (const QString fault = connectionValueFault(key, value); !fault.isEmpty())
                refuse(fault);
        }
        if (!server.sslMode.isEmpty() && !SslModes.contains(server.sslMode))
            refuse(QStringLiteral("[Store] SslMode=%1 is not one of %2")
                       .arg(storeKey(iniPath, "SslMode"), SslModes.join(QStringLiteral(", "))));
    }
    // A password in the settings file would travel with every copy of it; libpq's pass file is the
    // user's own, and libpq ignores it unless only the user can read it.
    if (!storeKey(iniPath, "Password").isEmpty())
        refuse(QStringLiteral("[Store] Password is not read from the settings file: the lab server's password goes "
                              "in the pass file (~/.pgpass, or the file PGPASSFILE names)"));
    if (const std::optional<QChar> control = ControlCharacter::firstIn(storeKey(iniPath, "Station")))
        problems.append(QStringLiteral("%1: [Store] Station holds a control character (%2); the station is called "
                                       "\"%3\" instead")
                            .arg(iniPath, ControlCharacter::code(*control), RunStore::stationName(iniPath)));
    if (refused)
        server.host.clear();
    *problem = problems.join(u'\n');
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
