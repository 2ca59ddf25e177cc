#!/usr/bin/env python3
"""Turns the benchmark programs' JSON output into one report.

    scripts/bench_report.py [folder]        (default: build/bench)

Reads <folder>/*_bench.json as written by `make bench-report` (Google Benchmark, with
repetitions, so each benchmark has a "median" aggregate) and writes:

  <folder>/report.md   one table, a row per measured pair: the work, our figure, the anchor's,
                       the ratio, the goal and whether it is met; the machine and the date above.
  <folder>/report.svg  the ratios as bars against the 1.0 line, drawn by gnuplot.

Every ratio is our time over the anchor's for the same work (below 1.0: we are faster). It is
taken from the benchmarks' rates (items or bytes per second) where both sides report one, else
from their times, always from the medians. A pair whose figures are missing (a program that did
not run, spdlog not installed) is listed as "not measured".
"""

import datetime
import json
import os
import platform
import subprocess
import sys

# (program, work, ours, anchor, anchor's name, goal): the goal is the highest ratio that counts as
# met, None for a row that is shown for reference only. The IP text goals, the log's (at least
# 1.5 times spdlog's lines per second wherever writers share writes; one writer within 1.15 times
# one bare write() per line) and the UTF-16LE read's (within 1.5 times plain fread, which neither
# checks nor converts a unit) are the project's targets; everywhere else the goal is to be at
# least as fast as the anchor.
LOG_GOAL = round(1 / 1.5, 2)
PAIRS = [
    ("ip_bench", "IsIPV4Address, mixed texts", "BM_IsIPV4Address_Ours",
     "BM_IsIPV4Address_InetPton", "inet_pton(AF_INET)", 1.0),
    ("ip_bench", "IsValidIPV6Address, mixed texts", "BM_IsValidIPV6Address_Ours",
     "BM_IsValidIPV6Address_InetPton", "inet_pton(AF_INET6)", 1.0),
    ("ip_bench", "IsSameIPAddress, pairs of mixed texts", "BM_IsSameIPAddress_Ours",
     "BM_IsSameIPAddress_InetPton", "2 x inet_pton + memcmp", 1.5),
] + [
    # One writer has no one to share a write with: its goal is the floor's, below.
    ("log_bench", "log lines, %d writer thread%s" % (n, "" if n == 1 else "s"),
     "BM_Logging_WriteV/real_time/threads:%d" % n,
     "BM_Spdlog_FlushEveryLine/real_time/threads:%d" % n, "spdlog, flush per line",
     None if n == 1 else LOG_GOAL)
    for n in (1, 2, 4, 8)
] + [
    # The same while two spinning threads keep both cores busy.
    ("log_bench", "log lines, %d writer thread%s, cores busy" % (n, "" if n == 1 else "s"),
     "BM_Logging_WriteV_Busy/real_time/threads:%d" % n,
     "BM_Spdlog_FlushEveryLine_Busy/real_time/threads:%d" % n, "spdlog, flush per line",
     LOG_GOAL)
    for n in (2, 4, 8)
] + [
    # One writer against the floor: what the log adds to the one write() a line needs, measured
    # in turns of 256 lines within one benchmark (the counters name each side's rate).
    ("log_bench", "log lines, 1 writer thread, against the floor (in turns)",
     "BM_OneWriterInTurnsWithFloor/real_time#ours_per_second",
     "BM_OneWriterInTurnsWithFloor/real_time#floor_per_second", "bare write() per line", 1.15),
] + [
    # One write() per line and nothing else: what one writer cannot go below while every line
    # reaches the operating system before its call returns.
    ("log_bench", "bare write() per line, 1 thread (floor)", "BM_OneWritePerLine/real_time",
     "BM_Spdlog_FlushEveryLine/real_time/threads:1", "spdlog, flush per line", None),
] + [
    # With the cores busy: writers that take turns under one lock, one write() per line each.
    # A log whose lock serialises its file writes cannot beat this on busy cores, since a writer
    # stopped by the scheduler while it holds the lock stops the others.
    ("log_bench", "one locked write() per line, %d threads, cores busy (floor)" % n,
     "BM_OneLockedWritePerLine_Busy/real_time/threads:%d" % n,
     "BM_Spdlog_FlushEveryLine_Busy/real_time/threads:%d" % n, "spdlog, flush per line", None)
    for n in (2, 4, 8)
] + [
    ("base64_bench", "Base64 %s, %s" % (op, size), "%s/ours/%s" % (op, size),
     "%s/openssl/%s" % (op, size), "OpenSSL EVP", 1.0)
    for size in ("1KiB", "64KiB", "16MiB") for op in ("encode", "decode")
] + [
    ("text_bench", "read 64 MiB UTF-8 text", "BM_ReadFileToString/utf8",
     "BM_FreadIcuAnchor/utf8", "fread + ICU", 1.0),
    ("text_bench", "read 64 MiB UTF-16LE text", "BM_ReadFileToString/utf16le",
     "BM_FreadIcuAnchor/utf16le", "fread", 1.5),
] + [
    ("stamp_bench", "stamp a %d MiB firmware copy" % mib,
     "BM_Stamp/%d/iterations:10/real_time" % mib, "BM_Cp/%d/iterations:10/real_time" % mib,
     "cp", 1.0)
    for mib in (16, 256)
] + [
    ("ini_bench", "INI section of %d pairs" % n, "BM_GetKeyValues/%d" % n,
     "BM_FreadSplitAnchor/%d" % n, "fread + split into std::map", 1.0)
    for n in (10000, 100000)
] + [
    ("environment_bench", "list 16 language folders", "BM_ListSubfolders_Util",
     "BM_ListSubfolders_StdFilesystem", "std::filesystem", 1.0),
    ("environment_bench", "executable's folder", "BM_ExeFolder_Util",
     "BM_ExeFolder_StdFilesystem", "std::filesystem", 1.0),
] + [
    ("scoped_temp_dir_bench", "remove a temp tree of %d folder%s" % (n, "" if n == 1 else "s"),
     "BM_ScopedTempDirDelete/%d" % n, "BM_AnchorFilesystemRemoveAll/%d" % n,
     "std::filesystem::remove_all", 1.0)
    for n in (1, 10, 50)
]

UNIT_SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def load_medians(folder, program):
    """The median aggregate of every benchmark of one program, by benchmark name."""
    path = os.path.join(folder, program + ".json")
    try:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
    except (OSError, ValueError):
        return {}
    medians = {}
    for run in data.get("benchmarks", []):
        if run.get("run_type") == "aggregate" and run.get("aggregate_name") == "median":
            if not run.get("error_occurred"):
                medians[run["run_name"]] = run
    return medians


def seconds(run):
    """The time one benchmark ranks by: wall time where it asked for it, else CPU time."""
    key = "real_time" if "/real_time" in run["run_name"] else "cpu_time"
    return run[key] * UNIT_SECONDS.get(run.get("time_unit", "ns"), 1e-9)


def counter_run(medians, name):
    """The median run of a benchmark; "name#counter" stands for one counter of one benchmark,
    given as that run's items per second (two sides measured in turns within one benchmark)."""
    if "#" not in name:
        return medians.get(name)
    benchmark, counter = name.split("#", 1)
    run = medians.get(benchmark)
    if run is None or not run.get(counter):
        return None
    return dict(run, items_per_second=run[counter])


def compare(ours, anchor):
    """Our figure, the anchor's (both as text) and the ratio our time / anchor's time."""
    for rate, unit, scale in (("items_per_second", "/s", 1.0), ("bytes_per_second", "MB/s", 1e6)):
        if ours.get(rate) and anchor.get(rate):
            return (format_rate(ours[rate] / scale, unit), format_rate(anchor[rate] / scale, unit),
                    anchor[rate] / ours[rate])
    a, b = seconds(ours), seconds(anchor)
    return format_time(a), format_time(b), a / b


def format_rate(value, unit):
    if unit != "/s":
        return "%.0f %s" % (value, unit)
    for limit, suffix in ((1e9, "G"), (1e6, "M"), (1e3, "k")):
        if value >= limit:
            return "%.2f %s/s" % (value / limit, suffix)
    return "%.0f /s" % value


def format_time(value):
    for limit, unit in ((1.0, "s"), (1e-3, "ms"), (1e-6, "us")):
        if value >= limit:
            return "%.2f %s" % (value / limit, unit)
    return "%.0f ns" % (value * 1e9)


def cpu_model():
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def build_rows(folder):
    """The report's rows, and the repetition counts the medians were taken over."""
    cache = {}
    rows = []
    repetitions = set()
    for program, work, ours_name, anchor_name, anchor_label, goal in PAIRS:
        medians = cache.setdefault(program, load_medians(folder, program))
        ours, anchor = counter_run(medians, ours_name), counter_run(medians, anchor_name)
        if ours is None or anchor is None:
            rows.append((work, "-", "-", anchor_label, None, goal, None))
            continue
        repetitions.add(ours.get("repetitions", 0))
        ours_text, anchor_text, ratio = compare(ours, anchor)
        rows.append((work, ours_text, anchor_text, anchor_label, ratio, goal,
                     None if goal is None else ratio <= goal))
    return rows, repetitions


def write_markdown(path, rows, repetitions, now):
    measured = [r for r in rows if r[4] is not None and r[5] is not None]
    met = sum(1 for r in measured if r[6])
    lines = [
        "# Benchmark report",
        "",
        "Machine: %s, %d cores (%s). Date: %s UTC." % (
            cpu_model(), os.cpu_count() or 0, platform.system(), now.strftime("%Y-%m-%d %H:%M")),
        "",
        "Medians of %s repetitions, run in random order within each program. Ratio = our time / the anchor's time for the same work "
        "(below 1.00: we are faster); a goal is the highest ratio that counts as met. "
        "Goals met: %d of %d measured pairs." % (
            " or ".join(str(n) for n in sorted(repetitions)) or "no", met, len(measured)),
        "",
        "| Work | Ours | Anchor | Ratio | Goal | Met |",
        "|---|---:|---:|---:|---:|:---:|",
    ]
    for work, ours, anchor, label, ratio, goal, ok in rows:
        goal_text = "-" if goal is None else "<= %.2f" % goal
        if ratio is None:
            lines.append("| %s | - | %s: - | - | %s | not measured |" % (work, label, goal_text))
        elif goal is None:
            lines.append("| %s | %s | %s: %s | %.2f | - | reference |" % (
                work, ours, label, anchor, ratio))
        else:
            lines.append("| %s | %s | %s: %s | %.2f | <= %.2f | %s |" % (
                work, ours, label, anchor, ratio, goal, "yes" if ok else "**no**"))
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def write_chart(path, rows, now):
    measured = [r for r in rows if r[4] is not None and r[5] is not None]
    if not measured:
        return False
    data_path = path + ".dat"
    with open(data_path, "w", encoding="utf-8") as f:
        for i, (work, _, _, _, ratio, goal, ok) in enumerate(measured):
            f.write('%d "%s" %.4f %.4f %d\n' % (i, work.replace('"', "'"), ratio, goal, 1 if ok else 0))
    top = max(1.6, max(max(r[4], r[5]) for r in measured) * 1.1)
    script = "\n".join([
        'set terminal svg size 1100,%d dynamic font "sans,11" background "white"' % (
            170 + 26 * len(measured)),
        'set output "%s"' % path,
        'set title "Our time / anchor time, medians of %s UTC (below 1.0: we are faster)"'
        % now.strftime("%Y-%m-%d %H:%M"),
        "set style fill solid 0.8 border -1",
        "set yrange [%d-0.3:-0.7]" % len(measured),
        "set xrange [0:%.2f]" % top,
        "set ytics nomirror scale 0",
        "set xtics nomirror",
        "set grid xtics lc rgb '#dddddd'",
        "set xlabel 'ratio (our time / anchor time)'",
        "set key outside bottom center horizontal",
        "set arrow from 1,graph 0 to 1,graph 1 nohead lw 2 lc rgb '#333333'",
        "set lmargin 38",
        "bar = 0.35",
        "plot '%s' using (0):1:(0):($5 > 0 ? $3 : NaN):($1-bar):($1+bar):ytic(2) with boxxyerror "
        "lc rgb '#4a7ebb' title 'goal met', \\" % data_path,
        "     '%s' using (0):1:(0):($5 > 0 ? NaN : $3):($1-bar):($1+bar) with boxxyerror "
        "lc rgb '#d9534f' title 'goal not met', \\" % data_path,
        "     '%s' using 4:1 with points pt 13 ps 1.4 lc rgb '#222222' title 'goal'" % data_path,
        "",
    ])
    try:
        subprocess.run(["gnuplot"], input=script, text=True, check=True)
    except (OSError, subprocess.CalledProcessError) as error:
        print("bench_report: gnuplot failed: %s" % error, file=sys.stderr)
        return False
    finally:
        os.remove(data_path)
    return True


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join("build", "bench")
    now = datetime.datetime.now(datetime.timezone.utc)
    rows, repetitions = build_rows(folder)
    md = os.path.join(folder, "report.md")
    svg = os.path.join(folder, "report.svg")
    write_markdown(md, rows, repetitions, now)
    print("wrote %s" % md)
    if write_chart(svg, rows, now):
        print("wrote %s" % svg)
    else:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
