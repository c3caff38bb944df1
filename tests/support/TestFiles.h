#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTest>

// Whole files as bytes, for tests that compare what the program wrote byte for byte.
namespace TestFiles {

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Lines ended by CR LF, as the program's text files are.
inline QByteArray crlfLines(const QList<QByteArray> &lines) { return lines.join("\r\n") + "\r\n"; }

} // namespace TestFiles
