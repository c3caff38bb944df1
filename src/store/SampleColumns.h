#pragma once

#include "run/Sample.h"

#include <array>

// The measured figures of a sample as the store's "samples" table keeps them, in column order:
// a figure added to Sample is stored, read back and exported by adding its row here (and its
// column to the schema).
namespace SampleColumns {

struct Column
{
    const char *name;
    double Sample::*figure;
};

inline constexpr std::array<Column, 6> Figures{{
    {"elapsed_s", &Sample::elapsedSeconds},
    {"v", &Sample::volts},
    {"i", &Sample::amps},
    {"w", &Sample::watts},
    {"ah", &Sample::ampHours},
    {"wh", &Sample::wattHours},
}};

// "elapsed_s, v, i, w, ah, wh".
inline QByteArray names()
{
    QByteArray list;
    for (const Column &column : Figures)
        list += (list.isEmpty() ? "" : ", ") + QByteArray(column.name);
    return list;
}

} // namespace SampleColumns
