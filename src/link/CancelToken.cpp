#include "link/CancelToken.h"

void CancelToken::cancel()
{
    if (std::exchange(m_cancelled, true))
        return;
    Q_EMIT cancelled();
}
