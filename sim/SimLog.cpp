#include "SimLog.h"

bool SimLog::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = QStringLiteral("cannot write the log %1: %2").arg(path, m_file.errorString());
        return false;
    }
    return true;
}

void SimLog::write(SimInstrument instrument, qint64 nsecs, bool known, const QByteArray &line)
{
    if (!m_file.isOpen())
        return;
    QByteArray text = instrument == SimInstrument::Load ? "L " : "G ";
    text += QByteArray::number(nsecs / (m_microseconds ? 1000 : 1000000)) + (known ? " = " : " ? ") + line + '\n';
    m_file.write(text);
    m_file.flush();
}
