#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <memory>

// One run's PDF report, written from the bench's store on a thread of its own: a run of a million
// samples takes a second or two to draw, and the window must go on meanwhile.
class ReportJob : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    // Waits for a report being written: it is not left half made.
    ~ReportJob() override;

    bool isBusy() const { return m_thread && m_thread->isRunning(); }
    // Does nothing while a report is being written.
    void start(const QString &storePath, const QString &uuid, const QString &pdfPath);

Q_SIGNALS:
    // "" when the report is written, else why not.
    void finished(const QString &pdfPath, const QString &error);

private:
    std::unique_ptr<QThread> m_thread;
};
