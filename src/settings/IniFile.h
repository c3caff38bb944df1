#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

// A profile file ("[Section]" lines followed by "key=value" lines) read and changed one key at a
// time. Every line it does not change is kept byte for byte, so comments, keys of other programs
// and text in any encoding survive a rewrite. Section and key names match without regard to case.
class IniFile
{
public:
    // The longest value a profile read hands back.
    static constexpr qsizetype MaxValueLength = 254;

    explicit IniFile(QString path);

    // Reads the file. A missing file is an empty profile; false when the file is there but could not
    // be read, and then save() refuses to replace it.
    bool load();
    const QString &path() const { return m_path; }

    // The value of a key, at most MaxValueLength characters; defaultValue when the section or the key
    // is missing. A key that is present with nothing after "=" gives "".
    QString value(QStringView section, QStringView key, const QString &defaultValue) const;

    // Replaces the value of an existing key in place, or adds the key at the end of its section, or
    // the section at the end of the file. The value is cut to MaxValueLength characters; line breaks
    // in it become blanks so it cannot add lines. False for a name the file format cannot hold.
    bool setValue(QStringView section, QStringView key, const QString &value);

    // Writes the file through a temporary file that replaces it only once complete, with CR LF line
    // ends. False when the file could not be written; the file on disk is then as it was.
    bool save();

    // One read or one write of a key, each on the file as it is on disk at the time.
    static QString ReadIniString(
        const QString &file, const QString &section, const QString &key, const QString &defaultValue);
    static bool WriteIniString(const QString &file, const QString &section, const QString &key, const QString &value);

private:
    enum class Kind { Other, Section, Key };
    struct Line
    {
        QByteArray raw; // the line as in the file, without its line end
        Kind kind = Kind::Other;
        QString name; // the section or key name
        QString value; // a key's value, blanks and enclosing quotes removed
    };

    static Line parse(QByteArray raw);
    qsizetype findSection(QStringView section) const;
    qsizetype sectionEnd(qsizetype header) const;

    QString m_path;
    QList<Line> m_lines;
    bool m_byteOrderMark = false;
    bool m_unreadable = false;
};
