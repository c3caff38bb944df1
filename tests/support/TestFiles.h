#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
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

// `size` bytes of noise, the same for the same seed; the first is never part of a byte-order mark.
inline QByteArray noise(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    bytes[0] = 'x';
    return bytes;
}

// The lines after the first of a file, ended or not.
inline qsizetype linesAfterTheFirst(const QByteArray &bytes)
{
    return bytes.count('\n') - (bytes.endsWith('\n') ? 1 : 0);
}

// A program built with the project.
inline QString binary(const char *name) { return qEnvironmentVariable("VORNIC_BIN_DIR") + u'/' + QLatin1String(name); }

// Lines ended by CR LF, as the program's text files are.
inline QByteArray crlfLines(const QList<QByteArray> &lines) { return lines.join("\r\n") + "\r\n"; }

// A settings file for a load on LAN at 127.0.0.1:`port`, sampling every `measureTime` ms.
inline QByteArray lanLoadSettings(quint16 port, const QString &measureTime = QStringLiteral("100"))
{
    return QStringLiteral("[Load Option]\r\nConnectMode=2\r\nLanIP1=127\r\nLanIP2=0\r\nLanIP3=0\r\nLanIP4=1\r\n"
                          "LanPort=%1\r\n[System]\r\nMeasureTime=%2\r\n")
        .arg(port)
        .arg(measureTime)
        .toLatin1();
}

// A settings file for a load on the serial port or pseudo-terminal at `device`, sampling every 100 ms.
inline QByteArray serialLoadSettings(const QString &device)
{
    return QStringLiteral("[Load Option]\r\nConnectMode=0\r\nCOMPort=%1\r\nHandShake=0\r\n[System]\r\n"
                          "MeasureTime=100\r\n")
        .arg(device)
        .toLatin1();
}

// The lines the virtual load received, in order, from the log it writes with --log
// ("L <time> <=|?> <line>").
inline QStringList loadLines(const QString &simLogPath)
{
    QStringList lines;
    for (const QByteArray &entry : readBytes(simLogPath).split('\n')) {
        const QList<QByteArray> parts = entry.split(' ');
        if (parts.size() >= 4 && parts.at(0) == "L")
            lines.append(
                QString::fromLatin1(entry.mid(parts.at(0).size() + parts.at(1).size() + parts.at(2).size() + 3)));
    }
    return lines;
}

} // namespace TestFiles
