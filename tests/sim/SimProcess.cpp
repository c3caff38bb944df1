#include "SimProcess.h"

#include <QTest>

SimProcess::SimProcess(const QStringList &arguments)
{
    m_process.setProgram(qEnvironmentVariable("VORNIC_BIN_DIR") + QStringLiteral("/vornic-sim"));
    m_process.setArguments(arguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    QObject::connect(
        &m_process, &QProcess::readyReadStandardOutput, [this] { m_out += m_process.readAllStandardOutput(); });
    m_process.start();
}

SimProcess::~SimProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!QTest::qWaitFor([this] { return m_process.state() == QProcess::NotRunning; }, 30000))
        m_process.kill();
    m_process.waitForFinished(30000);
}

bool SimProcess::waitForAnnouncements(int count)
{
    return QTest::qWaitFor([&] { return announcements().size() >= count; }, 30000);
}

QStringList SimProcess::announcements() const
{
    QStringList lines = QString::fromUtf8(m_out).split(QLatin1Char('\n'));
    lines.removeLast();
    return lines;
}

quint16 SimProcess::port(const QString &listener) const
{
    for (const QString &line : announcements()) {
        if (line.startsWith(listener + QStringLiteral(" tcp 127.0.0.1:")))
            return static_cast<quint16>(line.section(QLatin1Char(':'), -1).toUInt());
    }
    return 0;
}
