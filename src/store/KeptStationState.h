#pragma once

#include "store/StationState.h"

#include <QJsonObject>
#include <QString>
#include <mutex>
#include <optional>

// The station's last finished state, kept beside the bench's store in station-state.json with
// whether the lab's server has it: a runner that ends while the server is away, or is ended before
// its last word reaches it, leaves it to the next forwarder on the bench or to "vornic-runs
// forward". Only a finished state is kept: a process that died mid-run must never be read as
// running. The station's name is not kept; the settings give it.
class KeptStationState
{
public:
    static inline const QString FileName = QStringLiteral("station-state.json");

    // The file beside `sqlitePath`.
    explicit KeptStationState(const QString &sqlitePath);

    QString path() const { return m_path; }
    // The kept state, if the file holds one; `sent` says whether the server has it.
    std::optional<StationState> read(bool *sent = nullptr) const;
    // Keeps a finished state, not sent yet, unless it is the one kept already; "" when kept, else
    // why not. Any other state is left alone.
    QString keep(const StationState &state);
    // The server holds `state`: the file says so when it is the one kept.
    void markSent(const StationState &state);

private:
    static QJsonObject fields(const StationState &state);
    std::optional<QJsonObject> readObject() const;
    // The file's object as this holder last read or wrote it: a station that stays finished is
    // heard from every 2 s, and the file need not be read each time.
    std::optional<QJsonObject> held();
    QString write(const QJsonObject &object);

    QString m_path;
    mutable std::mutex m_mutex;
    std::optional<QJsonObject> m_held;
};
