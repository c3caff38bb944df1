#pragma once

#include <QObject>
#include <QString>

// The error trail the window shows beside the results: a marker for every sample that went wrong
// since the program started. It keeps the newest markers once it grows past a readable length.
class ErrorTrail : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxLength = 120;

    using QObject::QObject;

    void append(const QString &marker);
    QString text() const { return m_text; }

Q_SIGNALS:
    void textChanged(const QString &text);

private:
    QString m_text;
};
