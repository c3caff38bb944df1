#include "store/KeptStationState.h"

#include "results/LoadOffText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

namespace {

const QString SentKey = QStringLiteral("sent");

} // namespace

KeptStationState::KeptStationState(const QString &sqlitePath)
    : m_path(QFileInfo(sqlitePath).absoluteDir().filePath(FileName))
{ }

QJsonObject KeptStationState::fields(const StationState &state)
{
    return {{QStringLiteral("run_uuid"), state.runUuid}, {QStringLiteral("program"), state.program},
        {QStringLiteral("last_result"), state.lastResult},
        {QStringLiteral("load_off"), LoadOffText::json(state.loadOff)}};
}

std::optional<QJsonObject> KeptStationState::readObject() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(64 * 1024));
    if (!document.isObject() || document.object().value(QStringLiteral("run_uuid")).toString().isEmpty())
        return std::nullopt;
    return document.object();
}

std::optional<StationState> KeptStationState::read(bool *sent) const
{
    const std::lock_guard lock(m_mutex);
    const std::optional<QJsonObject> object = readObject();
    if (!object)
        return std::nullopt;
    StationState state;
    state.activity = StationState::Activity::Finished;
    state.runUuid = object->value(QStringLiteral("run_uuid")).toString();
    state.program = object->value(QStringLiteral("program")).toString();
    state.lastResult = object->value(QStringLiteral("last_result")).toString();
    const QJsonObject off = object->value(QStringLiteral("load_off")).toObject();
    state.loadOff.state = LoadOffText::stateFrom(off.value(QStringLiteral("state")).toString());
    state.loadOff.address = off.value(QStringLiteral("address")).toString();
    state.loadOff.since = LoadOffText::timeFrom(off.value(QStringLiteral("since")).toString());
    state.loadOff.confirmedAt = LoadOffText::timeFrom(off.value(QStringLiteral("confirmed_at")).toString());
    if (const QJsonValue amps = off.value(QStringLiteral("amps")); amps.isDouble())
        state.loadOff.amps = amps.toDouble();
    if (sent)
        *sent = object->value(SentKey).toBool();
    return state;
}

QString KeptStationState::keep(const StationState &state)
{
    if (state.activity != StationState::Activity::Finished || state.runUuid.isEmpty())
        return {};
    const std::lock_guard lock(m_mutex);
    QJsonObject object = fields(state);
    if (std::optional<QJsonObject> kept = held()) {
        kept->remove(SentKey);
        if (*kept == object)
            return {};
    }
    object.insert(SentKey, false);
    return write(object);
}

void KeptStationState::markSent(const StationState &state)
{
    const std::lock_guard lock(m_mutex);
    std::optional<QJsonObject> kept = held();
    if (!kept || kept->value(SentKey).toBool())
        return;
    kept->remove(SentKey);
    if (*kept != fields(state))
        return;
    kept->insert(SentKey, true);
    // A mark that cannot be written only sends the state once more.
    write(*kept);
}

std::optional<QJsonObject> KeptStationState::held()
{
    if (!m_held)
        m_held = readObject();
    return m_held;
}

QString KeptStationState::write(const QJsonObject &object)
{
    // Whole or not at all: a power cut mid-write leaves the state before.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(object).toJson(QJsonDocument::Indented)) < 0
        || !file.commit())
        return QStringLiteral("%1: %2").arg(m_path, file.errorString());
    m_held = object;
    return {};
}
