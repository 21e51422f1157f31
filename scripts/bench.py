#!/usr/bin/env python3
"""Runs every benchmark program of a build and prints one table of their rows.

Every executable named *_bench in <build>/bench is run in turn with
KX_BENCH_SCALE set (each picks its default sizes from it), its output is
appended to <build>/bench.log, and the tab-separated BENCHROW lines it prints
(see bench/bench_util.h) become the rows of one Markdown table. A new
benchmark joins by being built; nothing here names one.

  scripts/bench.py --build build/bench [--scale small|full|tiny]
  scripts/bench.py --table build/bench/bench.log   # the table of an earlier run
"""
import argparse
import os
import subprocess
import sys
import time

FIELDS = ["data_type", "scale", "records", "package", "sqlite", "side", "peak", "document"]
# A peak that grows less than this between two sizes of one data type counts
# as flat: allocator noise and the look-up tables a store holds.
FLAT_FACTOR = 1.5
FLAT_SLACK_MB = 8.0


def parse_rows(lines):
    rows = []
    for line in lines:
        parts = line.rstrip("\n").split("\t")
        if parts[0] != "BENCHROW" or len(parts) != len(FIELDS) + 1:
            continue
        row = dict(zip(FIELDS, parts[1:]))
        row["records"] = int(row["records"])
        for key in ("package", "sqlite", "side", "peak", "document"):
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


def table(rows):
    out = ["| data type | size | records | package s | sqlite3 -json s | ratio | side files s "
           "| peak MB | memory |",
           "| --- | --- | ---: | ---: | ---: | ---: | ---: | ---: | --- |"]
    for row, memory in zip(rows, memory_cells(rows)):
        side = f"{row['side']:.2f}" if row["side"] > 0 else ""
        if row["package"] < 0:  # the side files alone took longer than the whole step
            package, ratio = "noise", "?"
        else:
            package = f"{row['package']:.2f}"
            ratio = f"{row['package'] / row['sqlite']:.2f}" if row["sqlite"] > 0 else "?"
        out.append(f"| {row['data_type']} | {row['scale']} | {row['records']:,} | "
                   f"{package} | {row['sqlite']:.2f} | {ratio} | {side} | "
                   f"{row['peak']:.0f} | {memory} |")
    return "\n".join(out)


def run_all(build, scale):
    folder = os.path.join(build, "bench")
    programs = sorted(name for name in os.listdir(folder)
                      if name.endswith("_bench") and os.access(os.path.join(folder, name), os.X_OK))
    if not programs:
        sys.exit(f"no *_bench programs in {folder}: build it first")
    env = dict(os.environ, KX_BENCH_SCALE=scale)
    log_path = os.path.join(build, "bench.log")
    lines, failed = [], []
    started = time.monotonic()
    with open(log_path, "w") as log:
        for name in programs:
            print(f"running {name} ({scale}) ...", flush=True)
            log.write(f"=== {name} (KX_BENCH_SCALE={scale})\n")
            log.flush()
            begin = time.monotonic()
            result = subprocess.run([os.path.join(folder, name)], env=env, text=True,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            log.write(result.stdout)
            log.write(f"=== {name}: exit {result.returncode}, {time.monotonic() - begin:.0f} s\n")
            log.flush()
            lines += result.stdout.splitlines()
            if result.returncode != 0:
                failed.append(f"{name} (exit {result.returncode})")
    print(f"\n{len(programs)} programs in {time.monotonic() - started:.0f} s; "
          f"their whole output is in {log_path}\n")
    return lines, failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/bench", help="the build folder")
    parser.add_argument("--scale", default="small", choices=["small", "full", "tiny"])
    parser.add_argument("--table", metavar="LOG", help="only print the table of a log")
    args = parser.parse_args()
    if args.table:
        with open(args.table) as log:
            lines, failed = log.read().splitlines(), []
    else:
        lines, failed = run_all(args.build, args.scale)
    print(table(parse_rows(lines)))
    print("\nratio: package s / sqlite3 -json s, both the best of the benchmark's runs in one "
          "process; package s leaves out the side files' time, measured apart by writing "
          "the same files alone.")
    if failed:
        print("\nfailed: " + ", ".join(failed) + " (see the log)")
        sys.exit(1)


if __name__ == "__main__":
    main()
