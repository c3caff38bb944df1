#pragma once

#include "results/ChartHistory.h"

#include <QByteArray>
#include <optional>

// A finished run's chart history as bytes a store keeps beside its samples, so that the run can be
// drawn and compared without reading a million samples again. Little-endian, with a format number
// that a later layout raises: bytes of another format read as none, and the samples are read instead.
class ChartHistoryBytes
{
public:
    static constexpr int Format = 1;

    static QByteArray write(const ChartHistory &history);
    static std::optional<ChartHistory> read(const QByteArray &bytes);
};
