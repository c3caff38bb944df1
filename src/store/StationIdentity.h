#pragma once

#include <QString>

// A bench's own id among the lab's stations. Its name is only a label (two benches may well be
// given one name, or a bench renamed): the id, kept in the bench's data folder beside its run
// store, is what tells the stations apart on the lab's server.
class StationIdentity
{
public:
    static inline const QString FileName = QStringLiteral("station-id");

    // The id kept in `folder`, made and kept there the first time it is asked for. A folder that
    // cannot keep it gives an id made from the host's name and the folder, the same every time.
    static QString of(const QString &folder);
};
