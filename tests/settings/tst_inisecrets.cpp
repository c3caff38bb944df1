#include "settings/IniSecrets.h"

#include "SecretSettings.h"

#include <QTest>

class TestIniSecrets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void blanked_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("blanked");
        const auto row = [](const char *name, const QString &text, const QString &blanked) {
            QTest::newRow(name) << text << blanked;
        };
        row("Password", "Password=hunter2\r\n", "Password=\r\n");
        row("PASSWORD, blanks around", "  PASSWORD =  hunter2  \r\n", "  PASSWORD =\r\n");
        row("passwd", "passwd=hunter2", "passwd=");
        row("Pwd", "Pwd=hunter2", "Pwd=");
        row("DbPass, quoted", "DbPass=\"hunter2\"\n", "DbPass=\n");
        row("PGPASS", "PGPASS=hunter2\n", "PGPASS=\n");
        row("ApiToken", "ApiToken=hunter2", "ApiToken=");
        row("api_key", "api_key=hunter2", "api_key=");
        row("Client-Secret", "Client-Secret=hunter2", "Client-Secret=");
        row("Passphrase", "Passphrase=hunter2", "Passphrase=");
        row("PrivateKey", "PrivateKey=hunter2", "PrivateKey=");
        row("Credentials", "Credentials=hunter2", "Credentials=");
        row("value holding =", "Token=a=b;c\r\n", "Token=\r\n");
        row("commented out with ;", "; Password=hunter2\r\n", "; Password=\r\n");
        row("commented out with #", "#Token=hunter2\r\n", "#Token=\r\n");
        row("after a byte-order mark", QStringLiteral("\uFEFFPassword=hunter2\r\n"),
            QStringLiteral("\uFEFFPassword=\r\n"));
        row("Passes stays", "Passes=12\r\n", "Passes=12\r\n");
        row("PassCount stays", "PassCount=3\r\n", "PassCount=3\r\n");
        row("Bypassed stays", "Bypassed=1\r\n", "Bypassed=1\r\n");
        row("KeyDelay stays", "KeyDelay=5\r\n", "KeyDelay=5\r\n");
        row("a value that says password stays", "Station=password\r\n", "Station=password\r\n");
        row("a section named Password stays", "[Password]\r\nHost=lab\r\n", "[Password]\r\nHost=lab\r\n");
        row("a line without = stays", "Password hunter2\r\n", "Password hunter2\r\n");
        row("an empty secret stays as it is", "Password=   \r\nToken=\r\n", "Password=   \r\nToken=\r\n");
        row("LF line ends", "A=1\nPassword=x\nB=2\n", "A=1\nPassword=\nB=2\n");
        row("CR line ends", "A=1\rPassword=x\rB=2\r", "A=1\rPassword=\rB=2\r");
        row("mixed line ends, last line unended", "A=1\r\nPwd=x\nB=2\rToken=y", "A=1\r\nPwd=\nB=2\rToken=");
        row("empty lines and blanks kept", "\r\n\r\n  \r\n[S]\r\n\r\nPwd=x\r\n\r\n",
            "\r\n\r\n  \r\n[S]\r\n\r\nPwd=\r\n\r\n");
        row("a whole settings file", SecretSettings::Text, SecretSettings::Blanked);
        row("no secret", "[System]\r\nMeasureTime=100\r\n", "[System]\r\nMeasureTime=100\r\n");
        row("empty", "", "");
    }
    void blanked()
    {
        QFETCH(QString, text);
        QFETCH(QString, blanked);
        QCOMPARE(IniSecrets::withSecretsBlanked(text), blanked);
    }

    // The server's column is NULL for a run that kept no settings: NULL it stays.
    void nullStaysNull() { QVERIFY(IniSecrets::withSecretsBlanked(QString()).isNull()); }
};

QTEST_GUILESS_MAIN(TestIniSecrets)
#include "tst_inisecrets.moc"
