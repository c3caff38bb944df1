#include "settings/IniFile.h"

#include "model/WholeFile.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QByteArray byteOrderMark("\xEF\xBB\xBF");

// Cuts a text to a number of characters without splitting a surrogate pair.
QString cut(const QString &text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    if (length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

QByteArray withoutQuotes(const QByteArray &value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

bool hasLineBreak(QStringView text) { return text.contains(u'\r') || text.contains(u'\n'); }

bool validSectionName(QStringView name)
{
    return !name.isEmpty() && name.trimmed() == name && !hasLineBreak(name) && !name.contains(u']');
}

bool validKeyName(QStringView name)
{
    return !name.isEmpty() && name.trimmed() == name && !hasLineBreak(name) && !name.contains(u'=')
        && !name.startsWith(u'[') && !name.startsWith(u';');
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) { }

bool IniFile::load()
{
    m_lines.clear();
    m_byteOrderMark = false;
    m_unreadable = false;
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!QFileInfo(m_path).isFile() || !file.open(QIODevice::ReadOnly)) {
        m_unreadable = true;
        return false;
    }
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_unreadable = true;
        return false;
    }
    if (content.startsWith(byteOrderMark)) {
        m_byteOrderMark = true;
        content.remove(0, byteOrderMark.size());
    }
    if (content.isEmpty())
        return true;
    QList<QByteArray> rawLines = content.split('\n');
    if (content.endsWith('\n'))
        rawLines.removeLast();
    m_lines.reserve(rawLines.size());
    for (QByteArray &raw : rawLines) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        m_lines.append(parse(std::move(raw)));
    }
    return true;
}

IniFile::Line IniFile::parse(QByteArray raw)
{
    Line line;
    line.raw = std::move(raw);
    const QByteArray text = line.raw.trimmed();
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf(']');
        line.kind = Kind::Section;
        line.name = QString::fromUtf8(text.mid(1, close < 0 ? -1 : close - 1).trimmed());
        return line;
    }
    if (text.startsWith(';'))
        return line;
    const qsizetype equals = text.indexOf('=');
    if (equals <= 0)
        return line;
    const QByteArray name = text.left(equals).trimmed();
    if (name.isEmpty())
        return line;
    line.kind = Kind::Key;
    line.name = QString::fromUtf8(name);
    line.value = QString::fromUtf8(withoutQuotes(text.mid(equals + 1).trimmed()));
    return line;
}

qsizetype IniFile::findSection(QStringView section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines.at(i);
        if (line.kind == Kind::Section && QStringView(line.name).compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// The index just past the last key of the section, so that a comment heading the next section stays
// with that section.
qsizetype IniFile::sectionEnd(qsizetype header) const
{
    qsizetype end = header + 1;
    for (qsizetype i = header + 1; i < m_lines.size() && m_lines.at(i).kind != Kind::Section; ++i) {
        if (m_lines.at(i).kind == Kind::Key)
            end = i + 1;
    }
    return end;
}

QString IniFile::value(QStringView section, QStringView key, const QString &defaultValue) const
{
    const qsizetype header = findSection(section);
    if (header < 0)
        return cut(defaultValue, MaxValueLength);
    for (qsizetype i = header + 1; i < m_lines.size() && m_lines.at(i).kind != Kind::Section; ++i) {
        const Line &line = m_lines.at(i);
        if (line.kind == Kind::Key && QStringView(line.name).compare(key, Qt::CaseInsensitive) == 0)
            return cut(line.value, MaxValueLength);
    }
    return cut(defaultValue, MaxValueLength);
}

bool IniFile::setValue(QStringView section, QStringView key, const QString &value)
{
    if (!validSectionName(section) || !validKeyName(key))
        return false;
    QString text = cut(value, MaxValueLength);
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    const QByteArray encoded = text.toUtf8();

    const qsizetype header = findSection(section);
    if (header < 0) {
        m_lines.append(parse('[' + section.toUtf8() + ']'));
        m_lines.append(parse(key.toUtf8() + '=' + encoded));
        return true;
    }
    for (qsizetype i = header + 1; i < m_lines.size() && m_lines.at(i).kind != Kind::Section; ++i) {
        Line &line = m_lines[i];
        if (line.kind != Kind::Key || QStringView(line.name).compare(key, Qt::CaseInsensitive) != 0)
            continue;
        // An unchanged value keeps its line as it was, so bytes that are not UTF-8 (which the read
        // value could not carry) survive a read and write back.
        if (line.value == text)
            return true;
        const QByteArray trimmed = line.raw.trimmed();
        line = parse(trimmed.left(trimmed.indexOf('=')).trimmed() + '=' + encoded);
        return true;
    }
    m_lines.insert(sectionEnd(header), parse(key.toUtf8() + '=' + encoded));
    return true;
}

bool IniFile::save()
{
    if (m_unreadable)
        return false;
    const QFileInfo info(m_path);
    if (info.exists() && (!info.isFile() || !info.isWritable()))
        return false;
    QByteArray content;
    if (m_byteOrderMark)
        content = byteOrderMark;
    for (const Line &line : std::as_const(m_lines)) {
        content += line.raw;
        content += "\r\n";
    }
    return !WholeFile::replace(m_path, content);
}

QString IniFile::ReadIniString(
    const QString &file, const QString &section, const QString &key, const QString &defaultValue)
{
    IniFile ini(file);
    ini.load();
    return ini.value(section, key, defaultValue);
}

bool IniFile::WriteIniString(const QString &file, const QString &section, const QString &key, const QString &value)
{
    IniFile ini(file);
    return ini.load() && ini.setValue(section, key, value) && ini.save();
}
