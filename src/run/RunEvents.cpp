#include "run/RunEvents.h"

QString RunEvents::resultText(Result result)
{
    switch (result) {
    case Result::Pass:
        return QStringLiteral("PASS");
    case Result::Fail:
        return QStringLiteral("FAIL");
    case Result::Stopped:
        return QStringLiteral("STOPPED");
    case Result::Lost:
        return QStringLiteral("LOST");
    case Result::Error:
        break;
    }
    return QStringLiteral("ERROR");
}
