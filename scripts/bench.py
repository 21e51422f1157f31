#!/usr/bin/env python3
"""Runs every benchmark program of a build and prints one table of their rows.

Every executable named *_bench in <build>/bench is run in turn with
KX_BENCH_SCALE set (each picks its default sizes from it), its output is
appended to <build>/bench.log, and the tab-separated BENCHROW lines it prints
(see bench/bench_util.h) become the rows of one Markdown table. A new
benchmark joins by being built; nothing here names one.

  scripts/bench.py --build build/bench [--scale small|full|tiny]
  scripts/bench.py --table build/bench/bench.log   # the table of an earlier run

The stores and the packages' files go to a RAM file system (/dev/shm) when
TMPDIR is not set and it has room for the scale: on a disk, what creating
thousands of files costs depends on what the file system went through
before (ext4 without a journal scans recently deleted inodes before it
reuses one), not on the program. Set TMPDIR to measure on a disk.

With --base-build (the build of a base revision, scripts/bench-base.sh),
each program runs in turns, base first, then the working tree, then the base
again and so on (--turns), and the table sets each row's ratios and peak
before and after side by side. A program that failed or did not build on
one side gives rows that say so.
  scripts/bench.py --build build/bench --base-build build/bench-base/build/bench
"""
import argparse
import os
import subprocess
import sys
import time

FIELDS = ["data_type", "scale", "records", "package", "sqlite", "side", "peak", "document",
          "package_user", "package_kernel", "sqlite_user", "sqlite_kernel",
          "side_user", "side_kernel"]
# Rows of logs written before the processor times joined the row, and
# before the side files' processor time did.
OLDER_FIELD_COUNTS = (8, 12)
# The RAM file system the benchmarks' files go to, and the free space it
# needs for each scale (the largest benchmark's stores and documents, with
# room to spare); the programs check their own needs again.
RAM_FOLDER = "/dev/shm"
RAM_NEEDED_GB = {"tiny": 1, "small": 4, "full": 64}
# A peak that grows less than this between two sizes of one data type counts
# as flat: allocator noise and the look-up tables a store holds.
FLAT_FACTOR = 1.5
FLAT_SLACK_MB = 8.0


def parse_rows(lines):
    rows = []
    for line in lines:
        parts = line.rstrip("\n").split("\t")
        if parts[0] != "BENCHROW" or len(parts) - 1 not in (len(FIELDS), *OLDER_FIELD_COUNTS):
            continue
        row = dict.fromkeys(FIELDS, "0")
        row.update(zip(FIELDS, parts[1:]))
        row["records"] = int(row["records"])
        for key in FIELDS[3:]:
            row[key] = float(row[key])
        rows.append(row)
    return rows


def memory_cells(rows):
    """One text per row: the peak over the document, or whether the peak
    stayed flat against the first row of the same data type."""
    first = {}
    cells = []
    for row in rows:
        base = first.setdefault(row["data_type"], row)
        if base is row:
            ratio = row["peak"] / row["document"] if row["document"] > 0 else 0
            cells.append(f"{ratio:.2f}x document" if ratio else "")
            continue
        flat = row["peak"] <= base["peak"] * FLAT_FACTOR + FLAT_SLACK_MB
        cells.append(
            f"{'flat' if flat else 'GROWS'}: {base['records']:,} -> {row['records']:,} records, "
            f"{base['peak']:.0f} -> {row['peak']:.0f} MB")
    return cells


def user_ratio(row):
    """The package step's user time, its side files' apart, over that of
    sqlite3 -json; None where either was not measured."""
    own = row["package_user"] - row["side_user"]
    return own / row["sqlite_user"] if own > 0 and row["sqlite_user"] > 0 else None


def table(rows):
    out = ["| data type | size | records | package s | sqlite3 -json s | ratio | user ratio "
           "| side files s | peak MB | memory |",
           "| --- | --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | --- |"]
    for row, memory in zip(rows, memory_cells(rows)):
        side = f"{row['side']:.2f}" if row["side"] > 0 else ""
        if row["package"] < 0:  # the side files alone took longer than the whole step
            package, ratio = "noise", "?"
        else:
            package = f"{row['package']:.2f}"
            ratio = f"{row['package'] / row['sqlite']:.2f}" if row["sqlite"] > 0 else "?"
        user = user_ratio(row)
        user = f"{user:.2f}" if user is not None else ""
        out.append(f"| {row['data_type']} | {row['scale']} | {row['records']:,} | "
                   f"{package} | {row['sqlite']:.2f} | {ratio} | {user} | {side} | "
                   f"{row['peak']:.0f} | {memory} |")
    return "\n".join(out)


def programs_in(build):
    folder = os.path.join(build, "bench")
    if not os.path.isdir(folder):
        return []
    return sorted(name for name in os.listdir(folder)
                  if name.endswith("_bench") and os.access(os.path.join(folder, name), os.X_OK))


def bench_folder(scale):
    """The folder the benchmarks' files go to: TMPDIR when set, else the RAM
    file system when it has room for the scale; None for the default."""
    if os.environ.get("TMPDIR"):
        return os.environ["TMPDIR"]
    try:
        stats = os.statvfs(RAM_FOLDER)
    except OSError:
        return None
    free_gb = stats.f_bavail * stats.f_frsize / 2**30
    return RAM_FOLDER if free_gb >= RAM_NEEDED_GB[scale] else None


def bench_environment(scale):
    environment = dict(os.environ, KX_BENCH_SCALE=scale)
    folder = bench_folder(scale)
    if folder:
        environment["TMPDIR"] = folder
    return environment


def files_folder(lines, args):
    """Where the run's files went: as its log says, or as this run chose."""
    marker = ", files in "
    for line in lines:
        if line.startswith("=== ") and marker in line:
            return line.split(marker, 1)[1].rstrip(")")
    if args.table:
        return "a folder the log does not name"
    return bench_folder(args.scale) or "the default temporary folder"


def run_program(build, name, scale, log):
    """Runs one program of `build`, appending its output to `log`; returns
    its output lines and exit code."""
    environment = bench_environment(scale)
    folder = environment.get("TMPDIR", "the default temporary folder")
    log.write(f"=== {name} (KX_BENCH_SCALE={scale}, files in {folder})\n")
    log.flush()
    begin = time.monotonic()
    result = subprocess.run([os.path.join(build, "bench", name)],
                            env=environment, text=True,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    seconds = time.monotonic() - begin
    log.write(result.stdout)
    log.write(f"=== {name}: exit {result.returncode}, {seconds:.0f} s\n")
    log.flush()
    return result.stdout.splitlines(), result.returncode, seconds


def run_all(build, scale):
    programs = programs_in(build)
    if not programs:
        sys.exit(f"no *_bench programs in {build}/bench: build it first")
    log_path = os.path.join(build, "bench.log")
    lines, failed = [], []
    started = time.monotonic()
    with open(log_path, "w") as log:
        for name in programs:
            print(f"running {name} ({scale}) ...", flush=True)
            output, code, _ = run_program(build, name, scale, log)
            lines += output
            if code != 0:
                failed.append(f"{name} (exit {code})")
    print(f"\n{len(programs)} programs in {time.monotonic() - started:.0f} s; "
          f"their whole output is in {log_path}\n")
    return lines, failed


def not_built(build):
    """The programs scripts/bench-base.sh could not build in `build`."""
    try:
        with open(os.path.join(build, "bench-failed")) as names:
            return {line.strip() for line in names if line.strip()}
    except OSError:
        return set()


class Side:
    """One build's runs in a comparison: its rows by data type and size (one
    per run), and what went wrong per program."""

    def __init__(self, build):
        self.build = build
        self.programs = set(programs_in(build))
        self.problems = {name: "did not build" for name in not_built(build)}
        self.rows = {}
        self.log = open(os.path.join(build, "bench.log"), "w")

    def run(self, name, scale):
        if name not in self.programs:
            self.problems.setdefault(name, "missing")
            return f"{self.problems[name]}"
        output, code, seconds = run_program(self.build, name, scale, self.log)
        rows = parse_rows(output)
        for row in rows:
            row["program"] = name
            self.rows.setdefault((row["data_type"], row["scale"]), []).append(row)
        if code != 0:
            self.problems[name] = f"exit {code}"
        return f"{seconds:.0f} s, {len(rows)} rows" + (f", exit {code}" if code else "")


def mean(values):
    values = [value for value in values if value is not None]
    return sum(values) / len(values) if values else None


def row_figures(runs):
    """The mean over a side's runs of one row: wall-time ratio, user-time
    ratio and peak MB (None where not measured). The user time leaves out the
    kernel's, which swings with the other writers where a step creates files."""
    if not runs:
        return None
    wall = mean([run["package"] / run["sqlite"] if run["package"] >= 0 and run["sqlite"] > 0
                 else None for run in runs])
    cpu = mean([user_ratio(run) for run in runs])
    return wall, cpu, mean([run["peak"] for run in runs])


def change_text(change):
    return f"{change:.2f}" if change >= 0.1 else f"{change:.2g}"


def compare_table(base, work, order):
    """One row per data type and size: each figure before, after, and after
    over before; a side without the row says why in its first cell."""
    out = ["| data type | size | records | ratio before | ratio after | after/before "
           "| user ratio before | user ratio after | after/before "
           "| peak MB before | peak MB after | after/before |",
           "| --- | --- | ---: " + "| ---: " * 9 + "|"]
    for key in order:
        runs = [side.rows.get(key, []) for side in (base, work)]
        program = next(run["program"] for side_runs in runs for run in side_runs)
        records = sorted({run["records"] for side_runs in runs for run in side_runs})
        figures = [row_figures(side_runs) for side_runs in runs]
        cells = [key[0], key[1], " / ".join(f"{count:,}" for count in records)]
        for index, digits in enumerate((2, 2, 0)):
            values = []
            for side, side_figures in zip((base, work), figures):
                if side_figures is None:
                    values.append(side.problems.get(program, "no such row") if index == 0 else "")
                elif side_figures[index] is None:
                    values.append("?")  # a side of the ratio failed or was not measured
                else:
                    values.append(f"{side_figures[index]:.{digits}f}")
            before, after = (None if f is None else f[index] for f in figures)
            values.append(change_text(after / before) if before and after is not None else "")
            cells += values
        out.append("| " + " | ".join(cells) + " |")
    return "\n".join(out)


def run_compare(build, base_build, scale, turns):
    base, work = Side(base_build), Side(build)
    programs = sorted(base.programs | work.programs | set(base.problems) | set(work.problems))
    if not programs:
        sys.exit(f"no *_bench programs in {build}/bench or {base_build}/bench: build them first")
    order = []
    started = time.monotonic()
    for number, name in enumerate(programs, 1):
        for turn in range(turns):
            side = (base, work)[turn % 2]
            label = ("base", "work")[turn % 2]
            print(f"[{number}/{len(programs)}] {name} {label} (turn {turn + 1} of {turns}, "
                  f"{scale}) ...", end=" ", flush=True)
            print(side.run(name, scale), flush=True)
            for key in side.rows:
                if key not in order:
                    order.append(key)
    for side in (base, work):
        side.log.close()
    print(f"\n{len(programs)} programs, {turns} turns each, in "
          f"{(time.monotonic() - started) / 60:.0f} min; the whole output is in "
          f"{base.log.name} (before) and {work.log.name} (after)\n")
    print(compare_table(base, work, order))
    print("\nbefore: the base build, after: the working tree; ratio: package s / sqlite3 -json s "
          "(side files apart), user ratio: the same in processor time in user space (side files "
          "apart likewise; both sides' user and kernel time are in the logs); where a side ran "
          "more than once, the mean of its runs.")
    for label, side in (("before", base), ("after", work)):
        if side.problems:
            print(f"{label}: " + ", ".join(f"{name} {problem}"
                                           for name, problem in sorted(side.problems.items())))
    return 1 if work.problems else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/bench", help="the build folder")
    parser.add_argument("--scale", default="small", choices=["small", "full", "tiny"])
    parser.add_argument("--table", metavar="LOG", help="only print the table of a log")
    parser.add_argument("--base-build", metavar="DIR",
                        help="compare with the bench programs of this build, run in turns")
    parser.add_argument("--turns", type=int, default=2,
                        help="runs of each program, alternating base and working tree (2)")
    args = parser.parse_args()
    if args.base_build:
        sys.exit(run_compare(args.build, args.base_build, args.scale, max(args.turns, 1)))
    if args.table:
        with open(args.table) as log:
            lines, failed = log.read().splitlines(), []
    else:
        lines, failed = run_all(args.build, args.scale)
    print(table(parse_rows(lines)))
    print("\nratio: package s / sqlite3 -json s, both the best of the benchmark's runs in one "
          "process; package s leaves out the side files' time, measured apart by writing "
          "the same files alone. user ratio: the same in processor time in user space, "
          "steadier on a loaded machine (the side files' user time left out likewise). "
          f"Files in {files_folder(lines, args)}.")
    if failed:
        print("\nfailed: " + ", ".join(failed) + " (see the log)")
        sys.exit(1)


if __name__ == "__main__":
    main()
