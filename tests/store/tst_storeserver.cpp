#include "store/RunStore.h"
#include "store/StoreServer.h"

#include "TestFiles.h"

#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

// The [Store] section read into a server to connect to: each value refused by name, never passed on
// to libpq where it could name another database or lift the session's limits.
class TestStoreServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fromIni_data()
    {
        QTest::addColumn<QByteArray>("store");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("sslMode");
        const QString refused = QStringLiteral("@: [Store] %1; the lab server is not used");
        const QString lab = QStringLiteral("lab-db");
        const auto row
            = [](const char *name, const QByteArray &lines, const QString &problem, const QString &host,
                  const QString &sslMode = QString()) { QTest::newRow(name) << lines << problem << host << sslMode; };
        for (const char *mode : {"disable", "allow", "prefer", "require", "verify-ca", "verify-full"})
            row(mode, QByteArray("Host=lab-db\r\nSslMode=") + mode, "", lab, QString::fromLatin1(mode));
        row("SslMode without regard to case", "Host=lab-db\r\nSslMode=Verify-Full", "", lab, "verify-full");
        row("no SslMode: libpq's own", "Host=lab-db", "", lab);
        row("SslMode with another option", "Host=lab-db\r\nSslMode=disable dbname=postgres",
            refused.arg("SslMode=disable dbname=postgres is not one of disable, allow, prefer, require, verify-ca, "
                        "verify-full"),
            "", "disable dbname=postgres");
        row("SslMode lifting the limits", "Host=lab-db\r\nSslMode=require options='-c statement_timeout=0'",
            refused.arg("SslMode=require options='-c statement_timeout=0' is not one of disable, allow, prefer, "
                        "require, verify-ca, verify-full"),
            "", "require options='-c statement_timeout=0'");
        row("SslMode unknown", "Host=lab-db\r\nSslMode=on",
            refused.arg("SslMode=on is not one of disable, allow, prefer, require, verify-ca, verify-full"), "", "on");
        const QString control = QStringLiteral("%1 holds a control character (%2)");
        row("Host with NUL", QByteArray("Host=lab") + QByteArray(1, '\0') + "db",
            refused.arg(control.arg("Host", "U+0000")), "");
        row("Host with TAB", "Host=lab\tdb", refused.arg(control.arg("Host", "U+0009")), "");
        row("Host with ESC",
            "Host=lab\x1b"
            "db",
            refused.arg(control.arg("Host", "U+001B")), "");
        row("Host with a blank", "Host=lab db",
            refused.arg("Host=lab db is not a host name or address (it holds a blank or \"=\")"), "");
        row("Host with another option", "Host=host=lab-db",
            refused.arg("Host=host=lab-db is not a host name or address (it holds a blank or \"=\")"), "");
        row("Database with CR", "Host=lab-db\r\nDatabase=vornic\rx\r\n", refused.arg(control.arg("Database", "U+000D")),
            "");
        row("Database with DEL", "Host=lab-db\r\nDatabase=vor\x7fnic", refused.arg(control.arg("Database", "U+007F")),
            "");
        row("Database with another option", "Host=lab-db\r\nDatabase=vornic dbname=postgres",
            refused.arg("Database=vornic dbname=postgres holds another connection option, not a name alone"), "");
        row("Database as an option", "Host=lab-db\r\nDatabase=dbname=postgres",
            refused.arg("Database=dbname=postgres holds another connection option, not a name alone"), "");
        row("Database as a connection URI", "Host=lab-db\r\nDatabase=postgresql://other/postgres",
            refused.arg("Database=postgresql://other/postgres holds another connection option, not a name alone"), "");
        row("Database with a blank", "Host=lab-db\r\nDatabase=lab runs", "", lab);
        row("User with NUL", QByteArray("Host=lab-db\r\nUser=ben") + QByteArray(1, '\0') + "ch",
            refused.arg(control.arg("User", "U+0000")), "");
        row("User with another option", "Host=lab-db\r\nUser=bench options=-cstatement_timeout=0",
            refused.arg("User=bench options=-cstatement_timeout=0 holds another connection option, not a name alone"),
            "");
        row("User with a blank", "Host=lab-db\r\nUser=bench seven", "", lab);
        row("no Host: nothing else is looked at", "Database=vornic dbname=postgres\r\nSslMode=off", "", "", "off");
        const QString password = refused.arg(
            "Password is not read from the settings file: the lab server's password goes in the pass file "
            "(~/.pgpass, or the file PGPASSFILE names)");
        row("Password", "Host=lab-db\r\nPassword=hunter2", password, "");
        row("PASSWORD", "Host=lab-db\r\nPASSWORD=hunter2", password, "");
        row("Password without a Host", "Password=hunter2", password, "");
        row("empty Password", "Host=lab-db\r\nPassword=", "", lab);
        row("two faults, both named", "Host=lab-db\r\nPort=0\r\nSslMode=off",
            refused.arg("Port=0 is not a port number (1 to 65535)") + u'\n'
                + refused.arg("SslMode=off is not one of disable, allow, prefer, require, verify-ca, verify-full"),
            "", "off");
        const QString station
            = QStringLiteral("@: [Store] Station holds a control character (%1); the station is called \"%2\" instead");
        row("Station with NUL", QByteArray("Host=lab-db\r\nStation=Bench") + QByteArray(1, '\0') + "7",
            station.arg("U+0000", QSysInfo::machineHostName()), lab);
        row("Station with TAB, no Host", "Station=Bench\t7", station.arg("U+0009", QSysInfo::machineHostName()), "");
        row("Station with blanks", "Host=lab-db\r\nStation=Bench 7", "", lab);
    }
    void fromIni()
    {
        QFETCH(QByteArray, store);
        QFETCH(QString, problem);
        QFETCH(QString, host);
        QFETCH(QString, sslMode);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, "[System]\r\nMeasureTime=100\r\n[Store]\r\n" + store + "\r\n");
        QString said = QStringLiteral("left over");
        const StoreServer server = StoreServer::fromIni(ini, &said);
        QCOMPARE(said, QString(problem).replace(u'@', ini));
        QCOMPARE(server.host, host);
        QCOMPARE(server.sslMode, sslMode);
    }

    // The runs and the server's station state carry the name the problem says.
    void stationName_data()
    {
        QTest::addColumn<QByteArray>("store");
        QTest::addColumn<QString>("name");
        QTest::newRow("named") << QByteArray("Station=Bench 7") << "Bench 7";
        QTest::newRow("none") << QByteArray("Host=lab-db") << QSysInfo::machineHostName();
        QTest::newRow("NUL") << QByteArray("Station=Bench") + QByteArray(1, '\0') + "7" << QSysInfo::machineHostName();
        QTest::newRow("CR") << QByteArray("Station=Bench\r7") << QSysInfo::machineHostName();
    }
    void stationName()
    {
        QFETCH(QByteArray, store);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("VORN.INI"));
        TestFiles::writeBytes(ini, "[Store]\r\n" + store + "\r\n");
        QCOMPARE(RunStore::stationName(ini), name);
    }
};

QTEST_GUILESS_MAIN(TestStoreServer)
#include "tst_storeserver.moc"
