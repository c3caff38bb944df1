#include "ui/ReportJob.h"

#include "report/RunReport.h"
#include "store/RunArchive.h"

ReportJob::~ReportJob()
{
    if (m_thread)
        m_thread->wait();
}

void ReportJob::start(const QString &storePath, const QString &uuid, const QString &pdfPath)
{
    if (isBusy())
        return;
    if (m_thread)
        m_thread->wait();
    auto error = std::make_shared<QString>();
    // The archive's connection belongs to the thread that opens it.
    m_thread.reset(QThread::create([storePath, uuid, pdfPath, error] {
        RunArchive archive = RunArchive::local(storePath);
        if (!archive.open(error.get()))
            return;
        const std::optional<StoredRun> run = archive.run(uuid, error.get());
        if (run)
            *error = RunReport::write(archive, *run, pdfPath);
    }));
    connect(m_thread.get(), &QThread::finished, this, [this, pdfPath, error] { Q_EMIT finished(pdfPath, *error); });
    m_thread->start();
}
