#include "settings/IniSecrets.h"

#include <QStringList>

namespace {

bool isLineEnd(QChar c) { return c == u'\n' || c == u'\r'; }

// Where the value of a secret key starts in one line, -1 when the line holds no secret value.
qsizetype secretValueStart(QStringView line)
{
    qsizetype at = 0;
    // A comment marker is passed over: a password commented out is still the password.
    while (at < line.size() && (line[at].isSpace() || line[at] == u';' || line[at] == u'#'))
        ++at;
    if (at == line.size() || line[at] == u'[')
        return -1;
    const qsizetype equals = line.indexOf(u'=', at);
    if (equals < 0)
        return -1;
    const QStringView name = line.sliced(at, equals - at).trimmed();
    if (name.isEmpty() || !IniSecrets::isSecretKey(name) || line.sliced(equals + 1).trimmed().isEmpty())
        return -1;
    return equals + 1;
}

} // namespace

bool IniSecrets::isSecretKey(QStringView name)
{
    static const QStringList secretWords{QStringLiteral("password"), QStringLiteral("passwd"),
        QStringLiteral("passphrase"), QStringLiteral("pwd"), QStringLiteral("secret"), QStringLiteral("token"),
        QStringLiteral("credential"), QStringLiteral("apikey"), QStringLiteral("privatekey")};
    QString folded;
    for (const QChar c : name) {
        if (c.isLetterOrNumber())
            folded.append(c.toLower());
    }
    if (folded.endsWith(u"pass"))
        return true;
    for (const QString &word : secretWords) {
        if (folded.contains(word))
            return true;
    }
    return false;
}

QString IniSecrets::withSecretsBlanked(const QString &iniText)
{
    QString text = iniText;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isLineEnd(text[end]))
            ++end;
        if (const qsizetype value = secretValueStart(QStringView(text).sliced(start, end - start)); value >= 0) {
            text.remove(start + value, end - start - value);
            end = start + value;
        }
        start = end + 1;
    }
    return text;
}
