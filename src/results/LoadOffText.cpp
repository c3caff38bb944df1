#include "results/LoadOffText.h"

#include <QJsonObject>

namespace LoadOffText {

namespace {

const QString Confirmed = QStringLiteral("CONFIRMED");
const QString Unconfirmed = QStringLiteral("UNCONFIRMED");
const QString NotConfirmed = QStringLiteral("load not confirmed off");

QString shown(const QDateTime &when) { return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

} // namespace

QString stateText(LoadOff::State state)
{
    switch (state) {
    case LoadOff::State::Confirmed:
        return Confirmed;
    case LoadOff::State::Unconfirmed:
        return Unconfirmed;
    case LoadOff::State::None:
        break;
    }
    return QString();
}

LoadOff::State stateFrom(const QString &text)
{
    if (text == Confirmed)
        return LoadOff::State::Confirmed;
    if (text == Unconfirmed)
        return LoadOff::State::Unconfirmed;
    return LoadOff::State::None;
}

QString timeText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) : QString();
}

QDateTime timeFrom(const QString &text) { return QDateTime::fromString(text, Qt::ISODateWithMs); }

QJsonValue json(const LoadOff &off)
{
    if (off.state == LoadOff::State::None)
        return QJsonValue::Null;
    return QJsonObject{
        {QStringLiteral("state"), stateText(off.state)},
        {QStringLiteral("address"), off.address},
        {QStringLiteral("since"), timeText(off.since)},
        {QStringLiteral("confirmed_at"), timeText(off.confirmedAt)},
        {QStringLiteral("amps"), off.amps ? QJsonValue(*off.amps) : QJsonValue(QJsonValue::Null)},
    };
}

QString note(const LoadOff &off)
{
    if (off.unconfirmed())
        return NotConfirmed;
    if (off.confirmedLate())
        return QStringLiteral("load confirmed off %1").arg(shown(off.confirmedAt));
    return QString();
}

QString detail(const LoadOff &off)
{
    const QString address = off.address.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(off.address);
    if (off.unconfirmed())
        return QStringLiteral("%1 since %2%3").arg(NotConfirmed, shown(off.since), address);
    if (off.state != LoadOff::State::Confirmed)
        return QString();
    QString text = QStringLiteral("confirmed off %1").arg(shown(off.confirmedAt));
    if (off.amps)
        text += QStringLiteral(", %1 A").arg(*off.amps, 0, 'f', 3);
    if (off.confirmedLate())
        text += QStringLiteral("; %1 from %2%3").arg(NotConfirmed, shown(off.since), address);
    return text;
}

} // namespace LoadOffText
