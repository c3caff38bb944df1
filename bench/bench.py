#!/usr/bin/python3
"""Runs every benchmark against vornic-sim and prints the figures as Markdown tables, the
program's beside the C loop's (bench-c-loop, the floor) and the Python loop's (peer_loop.py)
where there are. See bench/README.md.

Usage: bench.py BIN_DIR [--scale F] [--out FILE] [--raise-priority N]
"""
import argparse
import datetime
import os
import platform
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
# How much higher than the caller's the timed processes run (vornic-sim, the program, the Python
# loop, alike): on a machine shared with other work, so that the figures are the program's own.
RAISE = {"by": 0}


def raised():
    if RAISE["by"]:
        os.nice(-RAISE["by"])
PYTHON = "/usr/bin/python3"
TSF_HEADER = (
    "StepNo.,Function,Mode,SinkValue,VStop,TStop,AhStop,Times,Start,Step,Stop,Vth,Limit High,Limit Low,"
    "High,Low,T-High,T-Low,Rise,Fall,Load Off V,CV Add,Cycle Count,Ramp CC,Ramp Time,Total Step,I_DC,I_AC,"
    "Frequence,Duty,IStop,StableTime"
)
QUERY_LINE = re.compile(rb"^L (\d+) = MEAS:VC\?$", re.M)


class Sim:
    """vornic-sim serving the load on TCP or a pseudo-terminal, logging in microseconds."""

    def __init__(self, bin_dir, work, name, pty=False, log=True):
        self.pty = work / f"{name}.pty" if pty else None
        self.log = work / f"{name}.log" if log else None
        args = [str(bin_dir / "vornic-sim"), "--source", "supply"]
        args += ["--pty", str(self.pty)] if pty else ["--tcp", "0"]
        if log:
            args += ["--log", str(self.log), "--log-us"]
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, text=True, preexec_fn=raised)
        announcement = self.proc.stdout.readline().strip()
        if not announcement:
            sys.exit("bench: vornic-sim did not start")
        self.port = None if pty else int(announcement.rsplit(":", 1)[1])

    def query_stamps_us(self):
        return [int(m.group(1)) for m in QUERY_LINE.finditer(self.log.read_bytes())]

    def queries(self):
        return len(QUERY_LINE.findall(self.log.read_bytes()))

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


def write_settings(path, sim, measure_ms):
    lines = ["[Load Option]"]
    if sim.pty:
        lines += ["ConnectMode=0", f"COMPort={sim.pty}", "BaudRate=115200", "HandShake=0"]
    else:
        lines += ["ConnectMode=2", "LanIP1=127", "LanIP2=0", "LanIP3=0", "LanIP4=1", f"LanPort={sim.port}"]
    lines += ["[System]", f"MeasureTime={measure_ms}"]
    path.write_bytes(("\r\n".join(lines) + "\r\n").encode())
    return path


def write_program(path, seconds):
    step = ["1", "Discharge", "CC", "1", "0", f"{seconds:.2f}", "0"] + [""] * 23 + ["0", "0"]
    path.write_bytes(f"{TSF_HEADER}\r\n{','.join(step)}\r\n".encode())
    return path


def cpu_ns(pid):
    """On-CPU time of all the process's threads, in nanoseconds (the scheduler's own count)."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/schedstat") as stat:
            total += int(stat.read().split()[0])
    return total


def wait_steady(sim):
    deadline = time.monotonic() + 30
    while sim.queries() < 3:
        if time.monotonic() > deadline:
            sys.exit("bench: no sample reached the load")
        time.sleep(0.05)
    time.sleep(1.0)


def snapshot(pid, sim):
    return cpu_ns(pid), sim.queries(), time.monotonic()


def cpu_figures(first, last):
    """CPU per pass (µs) and share of a core between two snapshots."""
    cpu = (last[0] - first[0]) / 1000.0
    passes = last[1] - first[1]
    if passes < 1:
        sys.exit("bench: no pass in the CPU window; give it more time (--scale)")
    return {"per_pass_us": cpu / passes, "share": cpu / ((last[2] - first[2]) * 1e6), "passes": passes}


def cpu_window(pid, sim, seconds):
    wait_steady(sim)
    first = snapshot(pid, sim)
    time.sleep(seconds)
    return cpu_figures(first, snapshot(pid, sim))


def period_figures(stamps_us, nominal_ms):
    # The first two periods hold the start of the loop, not its steady pace.
    periods = [(b - a) / 1000.0 for a, b in zip(stamps_us, stamps_us[1:])][2:]
    if not periods:
        sys.exit("bench: no periods at the load")
    deviations = sorted(abs(p - nominal_ms) for p in periods)
    return {
        "n": len(periods),
        "mean": statistics.fmean(periods),
        "p95": deviations[max(0, -(-95 * len(deviations) // 100) - 1)],
        "max": deviations[-1],
    }


def timed_loop(sim, args, interval_ms, cpu_seconds, quiet=False):
    """Runs one sampling loop against `sim` to its end: its periods at the load, and its CPU."""
    output = subprocess.DEVNULL if quiet else None
    proc = subprocess.Popen(args, stdout=output, stderr=output, preexec_fn=raised)
    cpu = cpu_window(proc.pid, sim, cpu_seconds) if cpu_seconds else None
    if proc.wait() != 0:
        sys.exit(f"bench: {Path(args[0]).name} ended with {proc.returncode}")
    sim.stop()
    return period_figures(sim.query_stamps_us(), interval_ms), cpu


def run_ours(bin_dir, work, name, pty, interval_ms, passes, cpu_seconds=None):
    """The program's periods at the load: vornic-run at 100 ms and up, bench-sampling below."""
    sim = Sim(bin_dir, work, name, pty)
    csv = work / f"{name}.csv"
    if interval_ms >= 100:
        ini = write_settings(work / f"{name}.ini", sim, interval_ms)
        program = write_program(work / f"{name}.TSF", (passes + 2) * interval_ms / 1000.0)
        args = [str(bin_dir / "vornic-run"), "--settings", str(ini), "--log", str(csv), str(program)]
    else:
        ini = write_settings(work / f"{name}.ini", sim, 100)
        args = [str(bin_dir / "bench-sampling"), str(ini), str(interval_ms), str(passes), str(csv)]
    return timed_loop(sim, args, interval_ms, cpu_seconds, quiet=True)


def run_c_loop(bin_dir, work, name, pty, interval_ms, passes, cpu_seconds=None):
    """The floor: bench-c-loop, clock_nanosleep to each absolute deadline, then the query."""
    sim = Sim(bin_dir, work, name, pty)
    link = ["serial", str(sim.pty)] if pty else ["tcp", str(sim.port)]
    args = [str(bin_dir / "bench-c-loop"), *link, str(interval_ms), str(passes), str(work / f"{name}.csv")]
    return timed_loop(sim, args, interval_ms, cpu_seconds)


def wake_alone(bin_dir, interval_ms, passes):
    """CPU of bench-c-loop sleeping to each deadline and doing nothing else, per wake-up."""
    args = [str(bin_dir / "bench-c-loop"), "none", "-", str(interval_ms), str(passes), "-"]
    proc = subprocess.Popen(args, preexec_fn=raised)
    time.sleep(passes * interval_ms / 1000.0 * 0.2)
    first, started = cpu_ns(proc.pid), time.monotonic()
    time.sleep(passes * interval_ms / 1000.0 * 0.6)
    used, wakes = cpu_ns(proc.pid) - first, (time.monotonic() - started) * 1000.0 / interval_ms
    if proc.wait() != 0:
        sys.exit("bench: the C loop failed")
    return used / 1000.0 / wakes


def run_peer(bin_dir, work, name, pty, interval_ms, passes, cpu_seconds=None):
    sim = Sim(bin_dir, work, name, pty)
    link = ["--serial", str(sim.pty)] if pty else ["--tcp", str(sim.port)]
    args = [PYTHON, str(HERE / "peer_loop.py"), *link, "--interval", str(interval_ms), "--passes", str(passes)]
    return timed_loop(sim, args + ["--csv", str(work / f"{name}.csv")], interval_ms, cpu_seconds)


def cpu_at_one_second(bin_dir, work, seconds):
    """Both at 1000 ms side by side: their CPU does not depend on each other's timing."""
    ours_sim = Sim(bin_dir, work, "cpu-ours", False)
    peer_sim = Sim(bin_dir, work, "cpu-peer", False)
    ini = write_settings(work / "cpu.ini", ours_sim, 1000)
    program = write_program(work / "cpu.TSF", seconds + 60)
    ours = subprocess.Popen(
        [str(bin_dir / "vornic-run"), "--settings", str(ini), "--log", str(work / "cpu-ours.csv"), str(program)],
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    peer = subprocess.Popen(
        [PYTHON, str(HERE / "peer_loop.py"), "--tcp", str(peer_sim.port), "--interval", "1000"]
        + ["--passes", "100000", "--csv", str(work / "cpu-peer.csv")]
    )
    runs = {"ours": (ours, ours_sim), "peer": (peer, peer_sim)}
    for proc, sim in runs.values():
        wait_steady(sim)
    first = {key: snapshot(proc.pid, sim) for key, (proc, sim) in runs.items()}
    time.sleep(seconds)
    results = {key: cpu_figures(first[key], snapshot(proc.pid, sim)) for key, (proc, sim) in runs.items()}
    for proc in (ours, peer):
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    ours_sim.stop()
    peer_sim.stop()
    return results


def memory(bin_dir, work, marks):
    folder = work / "memory"
    folder.mkdir()
    out = subprocess.run(
        [str(bin_dir / "bench-memory"), str(folder), *map(str, marks)], capture_output=True, text=True
    )
    rows = []
    for line in out.stdout.splitlines():
        fields = line.split()
        rows.append({fields[i]: float(fields[i + 1]) for i in range(0, len(fields), 2)})
    if out.returncode != 0 or len(rows) != len(marks):
        sys.exit(f"bench: bench-memory failed: {out.stderr}")
    os.remove(folder / "memory.csv")
    return rows


def first_paint(bin_dir, work, rounds):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    start_to_paint, main_to_paint = [], []
    for round in range(rounds):
        folder = work / f"window{round}"
        folder.mkdir()
        started = time.monotonic_ns()
        out = subprocess.run(
            [str(bin_dir / "bench-first-paint"), str(folder)],
            cwd=folder,
            env=env,
            capture_output=True,
            text=True,
            timeout=60,
        )
        fields = out.stdout.split()
        if out.returncode != 0 or len(fields) != 4:
            sys.exit(f"bench: bench-first-paint failed: {out.stderr}")
        painted = int(fields[3])
        start_to_paint.append((painted - started) / 1e6)
        main_to_paint.append((painted - int(fields[1])) / 1e6)
    return start_to_paint, main_to_paint


def files(bin_dir, work):
    folder = work / "files"
    folder.mkdir()
    out = subprocess.run([str(bin_dir / "bench-files"), str(folder)], capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit(f"bench: bench-files failed: {out.stderr}")
    ours = {}
    for line in out.stdout.splitlines():
        fields = line.split()
        ours[fields[1]] = float(fields[3])
    return ours, python_files(folder)


def python_files(folder):
    """What a script would do with the same files: csv for the program, configparser for the settings."""
    import configparser
    import csv

    def median_us(rounds, operation):
        times = []
        for _ in range(rounds):
            start = time.perf_counter_ns()
            operation()
            times.append((time.perf_counter_ns() - start) / 1000.0)
        return statistics.median(times)

    program, copy, ini = folder / "program.TSF", folder / "copy.TSF", folder / "VORN.INI"
    rows = []

    def load():
        with open(program, newline="", encoding="latin-1") as f:
            rows[:] = list(csv.reader(f))

    def save():
        with open(copy, "w", newline="", encoding="latin-1") as f:
            csv.writer(f, lineterminator="\r\n").writerows(rows)

    parser = configparser.ConfigParser()

    def read_ini():
        parser.read(ini, encoding="latin-1")

    def write_ini():
        with open(folder / "copy.INI", "w", encoding="latin-1") as f:
            parser.write(f)

    figures = {"load-program": median_us(30, load), "save-program": median_us(30, save)}
    figures["read-settings"] = median_us(500, read_ini)
    figures["write-settings"] = median_us(500, write_ini)
    return figures


def sample_timing(bin_dir):
    out = subprocess.run([str(bin_dir / "bench-sample-timing"), "100"], capture_output=True, text=True)
    return out.stdout.rstrip()


def chart(bin_dir):
    history = subprocess.run([str(bin_dir / "bench-chart-history")], capture_output=True, text=True)
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    redraw = subprocess.run(
        [str(bin_dir / "bench-chart-redraw")], capture_output=True, text=True, env=environment
    )
    return (history.stdout + redraw.stdout).rstrip()


def machine():
    model = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
    found = re.search(r"Model name:\s*(.+)", model)
    debian = Path("/etc/debian_version").read_text().strip() if Path("/etc/debian_version").exists() else "?"
    load = Path("/proc/loadavg").read_text().split()[:3]
    return (
        f"{found.group(1).strip() if found else platform.processor()}, {os.cpu_count()} cores, "
        f"Linux {platform.release()}, Debian {debian}; load average at start {' '.join(load)}"
    )


def holds(ok):
    return "yes" if ok else "**no**"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir", type=Path)
    parser.add_argument("--scale", type=float, default=1.0, help="fraction of the full run's passes and rows")
    parser.add_argument("--out", type=Path, help="also write the report here")
    parser.add_argument(
        "--raise-priority",
        type=int,
        default=0,
        metavar="N",
        help="run the timed processes N nice levels above this one (needs root)",
    )
    args = parser.parse_args()
    bin_dir = args.bin_dir.resolve()
    RAISE["by"] = args.raise_priority
    scale = args.scale
    began = time.monotonic()
    report = []

    def say(text=""):
        report.append(text)
        print(text, flush=True)

    priority = f"; timed processes raised {args.raise_priority} nice levels" if args.raise_priority else ""
    say(f"# Benchmark figures\n\n{datetime.datetime.now():%Y-%m-%d %H:%M}; {machine()}{priority}\n")
    with tempfile.TemporaryDirectory(prefix="vornic-bench-") as tmp:
        work = Path(tmp)

        say("## Sampling period and CPU per pass, at the load\n")
        say("Periods between consecutive \"MEAS:VC?\" as vornic-sim received them (µs stamps). Deviation is")
        say("|period − interval|; \"95 %\" is the deviation 95 % of the periods stay within. CPU per pass: the")
        say("process's on-CPU time (/proc/PID/task/*/schedstat) over the middle 60 % of the run, per query the")
        say("load received. C: bench-c-loop, the floor. Program: vornic-run at 100 ms, bench-sampling (the")
        say("engine) at 10 ms. Python: peer_loop.py.\n")
        say("| Interval | Link | Periods | C mean | C 95 % | C CPU | Program mean | Program 95 % | Program max "
            "| Program CPU | Python mean | Python 95 % | Python CPU |")
        say("|---|---|---|---|---|---|---|---|---|---|---|---|---|")
        sampling = {}
        cpu100 = {}
        for interval, passes in ((100, int(200 * scale)), (10, int(1500 * scale))):
            for pty in (False, True):
                link = "pty" if pty else "TCP"
                name = f"{interval}-{link}"
                window = passes * interval / 1000.0 * 0.6
                floor = run_c_loop(bin_dir, work, "c-" + name, pty, interval, passes, window)
                ours = run_ours(bin_dir, work, "ours-" + name, pty, interval, passes, window)
                peer = run_peer(bin_dir, work, "peer-" + name, pty, interval, passes, window)
                sampling[(interval, link)] = {"c": floor, "ours": ours, "peer": peer}
                if interval == 100 and not pty:
                    cpu100 = {"ours": ours[1], "peer": peer[1]}
                cells = [f"{interval} ms", link, str(ours[0]["n"])]
                for key, (periods, cpu) in (("c", floor), ("ours", ours), ("peer", peer)):
                    cells += [f"{periods['mean']:.3f} ms", f"{periods['p95']:.3f} ms"]
                    if key == "ours":
                        cells.append(f"{periods['max']:.2f} ms")
                    cells.append(f"{cpu['per_pass_us']:.0f} µs")
                say("| " + " | ".join(cells) + " |")

        wake_us = wake_alone(bin_dir, 10, int(1500 * scale))
        say(f"\nA wake-up alone (bench-c-loop none, sleeping to each 10 ms deadline and nothing else) costs")
        say(f"{wake_us:.0f} µs of CPU on this machine. A pass of the C loop sleeps twice (its deadline, the reply),")
        say("and so does one of the program's: a reply ends the 5 ms pause after its LAN line.")

        say("\n## CPU, over LAN\n")
        say("On-CPU time of every thread of the process (/proc/PID/task/*/schedstat) over a window of steady")
        say("sampling, per \"MEAS:VC?\" the load received in it, and as a share of one core's wall time.\n")
        cpu1000 = cpu_at_one_second(bin_dir, work, max(10.0, 30 * scale))
        say("| Interval | Passes (program / Python) | Program CPU per pass | Program share of a core "
            "| Python CPU per pass | Python share |")
        say("|---|---|---|---|---|---|")
        for interval, cpu in ((100, cpu100), (1000, cpu1000)):
            o, p = cpu["ours"], cpu["peer"]
            say(
                f"| {interval} ms | {o['passes']} / {p['passes']} | {o['per_pass_us']:.0f} µs | "
                f"{100 * o['share']:.3f} % | {p['per_pass_us']:.0f} µs | {100 * p['share']:.3f} % |"
            )

        say("\n## Memory of a long run (10 ms on a virtual clock, the virtual load in-process over loopback TCP)\n")
        marks = [1000, int(100000 * scale), int(1000000 * scale)]
        mem = memory(bin_dir, work, marks)
        say("| Rows | VmRSS | Heap in use | Result log rows | Trace lines | CSV on disk | Real time |")
        say("|---|---|---|---|---|---|---|")
        for row in mem:
            say(
                f"| {int(row['rows']):,} | {row['rss_kb'] / 1024:.2f} MB | {row['heap_kb'] / 1024:.2f} MB | "
                f"{int(row['result_rows'])} | {int(row['trace_lines'])} | {row['csv_bytes'] / 1e6:.1f} MB | "
                f"{row['real_s']:.0f} s |"
            )
        growth_mb = (mem[-1]["rss_kb"] - mem[0]["rss_kb"]) / 1024

        say("\n## Window, process start to first paint (QT_QPA_PLATFORM=offscreen)\n")
        rounds = 10
        start_to_paint, main_to_paint = first_paint(bin_dir, work, rounds)
        say("| Span | Median | Min | Max |")
        say("|---|---|---|---|")
        for label, values in (("process start → first paint done", start_to_paint), ("main() → first paint done", main_to_paint)):
            say(f"| {label} | {statistics.median(values):.1f} ms | {min(values):.1f} ms | {max(values):.1f} ms |")

        say("\n## Files (median per operation)\n")
        ours_files, peer_files = files(bin_dir, work)
        say("| Operation | Program | Python (csv / configparser) |")
        say("|---|---|---|")
        labels = {
            "load-program": "load a 10,000-step program",
            "save-program": "save a 10,000-step program",
            "read-settings": "read the settings file",
            "write-settings": "write the settings file",
        }
        for key, label in labels.items():
            say(f"| {label} | {ours_files[key] / 1000:.2f} ms | {peer_files[key] / 1000:.2f} ms |")

        say("\n## The run chart (bench-chart-history, bench-chart-redraw)\n")
        say("Samples added to the chart's bounded history, and the chart redrawn off screen with a day's run")
        say("in it (a redraw is the history put on the series, and one paint; the window redraws at most")
        say("ten times a second).\n")
        say("```\n" + chart(bin_dir) + "\n```")

        say("\n## Pauses and 100 ms periods in ms (bench-sample-timing 100)\n")
        say("```\n" + sample_timing(bin_dir) + "\n```")

    say("\n## Done when\n")
    say("| Figure | Target | Program | C loop | Python loop | Holds |")
    say("|---|---|---|---|---|---|")
    for interval, link, margin in ((100, "TCP", 0.15), (10, "TCP", 0.15), (100, "pty", 0.3), (10, "pty", 0.3)):
        runs = sampling[(interval, link)]
        ours, floor, peer = runs["ours"][0], runs["c"][0], runs["peer"][0]
        say(
            f"| {interval} ms {link}: mean period | within 0.05 ms of {interval} | {ours['mean']:.3f} ms "
            f"| {floor['mean']:.3f} ms | {peer['mean']:.3f} ms | {holds(abs(ours['mean'] - interval) <= 0.05)} |"
        )
        say(
            f"| {interval} ms {link}: 95 % deviation | within {margin} ms of the C loop's | {ours['p95']:.3f} ms "
            f"| {floor['p95']:.3f} ms | {peer['p95']:.3f} ms | {holds(ours['p95'] <= floor['p95'] + margin)} |"
        )
    ten = sampling[(10, "TCP")]
    o, c, p = (ten[key][1]["per_pass_us"] for key in ("ours", "c", "peer"))
    say(
        f"| CPU per pass at 10 ms TCP (a wake-up alone: {wake_us:.0f} µs) | under 50 µs | {o:.0f} µs | {c:.0f} µs "
        f"| {p:.0f} µs | {holds(o < 50)} |"
    )
    share = 100 * cpu1000["ours"]["share"]
    say(
        f"| Share of a core at 1000 ms | under 0.2 % | {share:.3f} % | – "
        f"| {100 * cpu1000['peer']['share']:.3f} % | {holds(share < 0.2)} |"
    )
    say(
        f"| Memory growth {marks[0]:,} → {marks[-1]:,} rows | under 1 MB | {growth_mb:.2f} MB | – | – "
        f"| {holds(growth_mb < 1.0)} |"
    )
    say(f"\nThe whole run took {(time.monotonic() - began) / 60:.1f} minutes.")
    if args.out:
        args.out.write_text("\n".join(report) + "\n")


if __name__ == "__main__":
    main()
