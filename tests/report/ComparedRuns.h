#pragma once

#include "PgCluster.h"
#include "StoreFixture.h"
#include "store/ServerMirror.h"
#include "store/StoreServer.h"

#include <QStringList>

// Short discharges of cells, kept in a bench's store, with figures simple enough to check by hand.
// A, B and C each have a 10-minute step 1 that draws 0.1 Ah and 0.4 Wh, then step 2, the discharge
// proper, from 09:10 on; D has one step of 0.5 Ah and 1.85 Wh:
//   A  Bench 1  PASS     step 2: 1.0 Ah, 3.70 Wh, ends 10:00 (3600 s)  samples V 3.5 | 4.0 3.6
//   B  Bench 1  FAIL     step 2: 1.2 Ah, 4.44 Wh, ends 10:12 (4320 s)  samples V 3.4 | 4.1 3.7
//   C  Bench 2  STOPPED  step 2: 0.8 Ah, 2.96 Wh, ends 09:58 (3480 s)  samples V 3.3 | 3.9 3.2
//   D  Bench 3  PASS     no step 2, ends 09:30 (1800 s)                samples V 3.8 3.1
//   E  Bench 4  never ended: no step, no sample
// B's step 1 failed its verdict and A's and B's step 2 passed theirs; B's program has a comma.
namespace ComparedRuns {

inline const QString A = QStringLiteral("c0de000a-0000-4000-8000-000000000000");
inline const QString B = QStringLiteral("c0de000b-0000-4000-8000-000000000000");
inline const QString C = QStringLiteral("c0de000c-0000-4000-8000-000000000000");
inline const QString D = QStringLiteral("c0de000d-0000-4000-8000-000000000000");
inline const QString E = QStringLiteral("c0de000e-0000-4000-8000-000000000000");

inline QStringList statements()
{
    const auto run = [](const QString &uuid, const char *day, const char *ended, const char *result,
                         const char *program, const char *station) {
        return QStringLiteral("INSERT INTO runs (uuid, program_name, program_text, model, rated_current, "
                              "settings_text, station, started, ended, result, message) VALUES ('%1', '%2', "
                              "'StepNo.,Function\r\n', '6312C', '60', '', '%3', "
                              "'2026-05-%4T09:00:00.000', '2026-05-%4T%5.000', '%6', '')")
            .arg(uuid, QLatin1String(program), QLatin1String(station), QLatin1String(day), QLatin1String(ended),
                QLatin1String(result));
    };
    const auto step = [](const QString &uuid, const char *day, int row, const char *started, double seconds,
                          const char *end, const char *verdict, double ah, double wh) {
        return QStringLiteral("INSERT INTO steps VALUES ('%1', %2, 'Discharge', '2026-05-%3T%4.000', %5, '%6', '%7', "
                              "'', %8, %9, 3.6, 1)")
            .arg(uuid)
            .arg(row)
            .arg(QLatin1String(day), QLatin1String(started))
            .arg(seconds)
            .arg(QLatin1String(end), QLatin1String(verdict))
            .arg(ah, 0, 'g', 17)
            .arg(wh, 0, 'g', 17);
    };
    // Samples at 300 s, 900 s and the run's end: step 1, step 2, step 2.
    const auto samples = [](const QString &uuid, double first, double second, double last, double endSeconds) {
        return QStringLiteral("INSERT INTO samples VALUES ('%1', 1, 300, %2, 1, 0, 0, 0, 1), "
                              "('%1', 2, 900, %3, 1, 0, 0, 0, 2), ('%1', 3, %5, %4, 1, 0, 0, 0, 2)")
            .arg(uuid)
            .arg(first)
            .arg(second)
            .arg(last)
            .arg(endSeconds);
    };
    return {
        run(A, "01", "10:00:00", "PASS", "/lab/programs/cell.TSF", "Bench 1"),
        step(A, "01", 1, "09:00:00", 600, "time", "", 0.1, 0.4),
        step(A, "01", 2, "09:10:00", 3000, "voltage", "PASS", 1.0, 3.7),
        samples(A, 3.5, 4.0, 3.6, 3600),
        run(B, "02", "10:12:00", "FAIL", "/lab/programs/cell, 2p.TSF", "Bench 1"),
        step(B, "02", 1, "09:00:00", 600, "time", "FAIL", 0.1, 0.4),
        step(B, "02", 2, "09:10:00", 3720, "voltage", "PASS", 1.2, 4.44),
        samples(B, 3.4, 4.1, 3.7, 4320),
        run(C, "03", "09:58:00", "STOPPED", "/lab/programs/cell.TSF", "Bench 2"),
        step(C, "03", 1, "09:00:00", 600, "time", "", 0.1, 0.4),
        step(C, "03", 2, "09:10:00", 2880, "stopped", "", 0.8, 2.96),
        samples(C, 3.3, 3.9, 3.2, 3480),
        run(D, "04", "09:30:00", "PASS", "/lab/programs/cell.TSF", "Bench 3"),
        step(D, "04", 1, "09:00:00", 1800, "voltage", "", 0.5, 1.85),
        QStringLiteral("INSERT INTO samples VALUES ('%1', 1, 900, 3.8, 1, 0, 0, 0, 1), "
                       "('%1', 2, 1800, 3.1, 1, 0, 0, 0, 1)")
            .arg(D),
        QStringLiteral("INSERT INTO runs (uuid, program_name, program_text, model, rated_current, "
                       "settings_text, station, started, ended, result, message) VALUES ('%1', "
                       "'/lab/programs/cell.TSF', '', '6312C', '60', '', 'Bench 4', "
                       "'2026-05-05T09:00:00.000', NULL, '', '')")
            .arg(E),
    };
}

// The bench's store file at `path`.
inline void writeBench(const QString &path) { StoreFixture::write(path, statements()); }

// The same runs on `cluster`'s server, sent there by store and forward from the bench's file.
inline void forward(const QString &benchPath, const PgCluster &cluster)
{
    ServerMirror mirror(benchPath, cluster.server());
    const ServerMirror::Outcome outcome = mirror.forwardAll();
    QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
}

} // namespace ComparedRuns
