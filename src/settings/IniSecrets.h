#pragma once

#include <QString>
#include <QStringView>

// Secrets in a settings file's text, kept out of every copy of it that leaves the file: the copy a
// run keeps, and whatever shows or sends a stored run's copy.
class IniSecrets
{
public:
    // A key is a secret when its name, its case and any characters other than letters and digits
    // set aside, holds "password", "passwd", "passphrase", "pwd", "secret", "token", "credential",
    // "apikey" or "privatekey", or ends in "pass" ("DbPass"). A name merely near one stays
    // ("Passes", "PassCount", "KeyDelay").
    static bool isSecretKey(QStringView name);

    // The text with the value of every secret key removed, "=" kept: "Password=" stays to say there
    // was one. Commented-out keys ("; Password=...") are secrets too. Everything else is kept
    // character for character, line ends and comments included; a text without a secret comes back
    // as given, a null one null.
    static QString withSecretsBlanked(const QString &iniText);
};
