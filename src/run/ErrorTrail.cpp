#include "run/ErrorTrail.h"

void ErrorTrail::append(const QString &marker)
{
    m_text += marker;
    if (m_text.size() > MaxLength)
        m_text = u'\u2026' + m_text.right(MaxLength - 1);
    Q_EMIT textChanged(m_text);
}
