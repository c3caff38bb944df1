#!/usr/bin/python3
"""The run store's share of a pass: vornic-run at 100 ms over TCP with its store written as usual,
and with a store that cannot be opened (so the run goes on unstored), taken in turns so that the
machine's drift falls on both alike.

Usage: bench/store_sampling.py BIN_DIR [--rounds N] [--passes N]
"""

import argparse
import statistics
import tempfile
from pathlib import Path

import bench


def one(bin_dir, work, name, stored, passes):
    folder = work / name
    folder.mkdir()
    if not stored:
        # A folder where the file should be: the store reports it once and keeps nothing.
        (folder / "runs.sqlite").mkdir()
    return bench.run_ours(bin_dir, folder, name, False, 100, passes, cpu_seconds=passes * 0.08)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir", type=Path)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--passes", type=int, default=300)
    options = parser.parse_args()
    figures = {True: [], False: []}
    with tempfile.TemporaryDirectory() as scratch:
        work = Path(scratch)
        for round_ in range(options.rounds):
            for stored in (True, False):
                name = f"{'on' if stored else 'off'}{round_}"
                figures[stored].append(one(options.bin_dir, work, name, stored, options.passes))
    print("| 100 ms TCP | mean period ms | 95 % within ms | CPU per pass µs | share of a core |")
    print("|---|---|---|---|---|")
    for stored in (True, False):
        runs = figures[stored]
        print(
            f"| store {'on' if stored else 'off'} ({len(runs)} × {options.passes} passes) "
            f"| {statistics.fmean(p['mean'] for p, _ in runs):.3f} "
            f"| {statistics.fmean(p['p95'] for p, _ in runs):.3f} "
            f"| {statistics.fmean(c['per_pass_us'] for _, c in runs):.0f} "
            f"| {100 * statistics.fmean(c['share'] for _, c in runs):.2f} % |"
        )


if __name__ == "__main__":
    main()
