#!/usr/bin/env python3
"""Where one benchmark's package step spends its processor time, and the
same for the sqlite3 -json runs it is compared with.

Runs one bench/*_bench program (at KX_BENCH_SCALE=small unless set, its
files where `make bench` puts them) under `perf record` on the monotonic
clock with call chains, keeps the samples that fall inside the package
steps the program reports on its PACKAGESTEP lines, and prints:

- user and kernel time, in milliseconds of processor time sampled;
- the kernel's time by cause: each system call by name, and page faults by
  the function that touched the page;
- user time by library (the benchmark program holds the library's code);
- the functions that take the most user time of their own.

Usage: bench-profile.py --build build/bench PROGRAM [ARGUMENT ...]
       bench-profile.py --script perf-script.txt --windows PACKAGESTEP-lines
The second form reads a `perf script` text kept before (for tests).
"""
import argparse
import collections
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench  # noqa: E402  (scripts/bench.py: where make bench puts its files)

# Samples a second of processor time; cpu-clock works in virtual machines,
# where the hardware counters often do not.
FREQUENCY = 2000
KERNEL_START = 0xffff800000000000
SYSCALL_ENTRY = "entry_SYSCALL_64"
PAGE_FAULT = "asm_exc_page_fault"
# Prefixes and suffixes that glibc's symbols of a system call's wrapper
# carry around the call's name.
WRAPPER_PREFIXES = ("__GI___libc_", "__GI___", "__GI_", "__libc_", "__")
WRAPPER_SUFFIXES = ("64", "_nocancel")
# Functions that only move the bytes a caller asked for: a page fault in
# one of them is put down to the first frame that is not one.
COPY_FUNCTIONS = ("memcpy", "memmove", "memset", "_int_malloc", "malloc", "sysmalloc",
                  "std::__cxx11::basic_string", "operator new", "realloc")


class Sample:
    __slots__ = ("comm", "pid", "time", "frames")

    def __init__(self, comm, pid, time):
        self.comm = comm
        self.pid = pid
        self.time = time
        self.frames = []  # (address, symbol, library), innermost first


def parse_script(lines):
    """The samples of a `perf script -F comm,pid,time,ip,sym,dso` text."""
    samples = []
    current = None
    for line in lines:
        line = line.rstrip("\n")
        if not line.strip():
            current = None
            continue
        if not line[0].isspace():
            parts = line.split()
            if len(parts) < 3:
                continue
            try:
                current = Sample(parts[0], int(parts[1].split("/")[0]),
                                 float(parts[2].rstrip(":")))
            except ValueError:
                current = None
                continue
            samples.append(current)
            continue
        if current is None:
            continue
        fields = line.split(None, 1)
        try:
            address = int(fields[0], 16)
        except ValueError:
            continue
        rest = fields[1] if len(fields) > 1 else ""
        library = ""
        # "symbol (library)"; a frame inlined into its caller says
        # "(inlined)" where the library goes, and has the caller's.
        while rest.endswith(")") and " (" in rest and not library:
            rest, last = rest.rsplit(" (", 1)
            if last[:-1] != "inlined":
                library = os.path.basename(last[:-1])
        current.frames.append((address, rest.strip(), library))
    return samples


def parse_windows(lines):
    """(process id, start, end) of each PACKAGESTEP line."""
    windows = []
    for line in lines:
        parts = line.strip().split("\t")
        if len(parts) == 4 and parts[0] == "PACKAGESTEP":
            windows.append((int(parts[1]), float(parts[2]), float(parts[3])))
    return windows


def in_windows(sample, windows):
    return any(sample.pid == pid and start <= sample.time <= end for pid, start, end in windows)


def call_name(symbol):
    """A system call's name from its glibc wrapper's symbol."""
    name = symbol.replace(" (inlined)", "").strip()
    for prefix in WRAPPER_PREFIXES:
        if name.startswith(prefix):
            name = name[len(prefix):]
            break
    for suffix in WRAPPER_SUFFIXES:
        if name.endswith(suffix) and len(name) > len(suffix):
            name = name[:-len(suffix)]
    return name or "?"


def without_groups(name, opening, closing):
    """`name` without what stands between `opening` and `closing`, nested."""
    kept = []
    depth = 0
    for character in name:
        if character == opening:
            depth += 1
        elif character == closing and depth > 0:
            depth -= 1
        elif depth == 0:
            kept.append(character)
    return "".join(kept)


def short(symbol):
    """A C++ function's name without its namespaces' anonymity, template
    arguments and parameters: kx::Writer::Name for
    kx::(anonymous namespace)::Writer<kx::TextBuffer>::Name(char const*)."""
    name = symbol.replace("(anonymous namespace)::", "").replace("[abi:cxx11]", "")
    name = without_groups(without_groups(name, "(", ")"), "<", ">")
    return name.strip() or "?"


def kernel_cause(sample):
    """'system call: <name>', 'page fault: <function>' or 'other kernel
    work' for a sample taken in the kernel; None for one in user space."""
    frames = sample.frames
    if not frames or frames[0][0] < KERNEL_START:
        return None
    for index, (_, symbol, _) in enumerate(frames):
        following = frames[index + 1:]
        if symbol.startswith(SYSCALL_ENTRY):
            return "system call: " + (call_name(following[0][1]) if following else "?")
        if symbol.startswith(PAGE_FAULT):
            for _, caller, _ in following:
                if not any(part in caller for part in COPY_FUNCTIONS):
                    return "page fault: " + short(caller)
            return "page fault: " + (short(following[0][1]) if following else "?")
    return "other kernel work"


class Profile:
    def __init__(self, samples):
        self.samples = samples
        self.kernel = collections.Counter()
        self.libraries = collections.Counter()
        self.functions = collections.Counter()
        for sample in samples:
            cause = kernel_cause(sample)
            if cause is not None:
                self.kernel[cause] += 1
                continue
            _, symbol, library = sample.frames[0] if sample.frames else (0, "?", "?")
            library = next((frame[2] for frame in sample.frames if frame[2]), "?")
            self.libraries[library] += 1
            self.functions[short(symbol) if symbol != "[unknown]" else
                           f"[{library or '?'}]"] += 1

    @property
    def user(self):
        return sum(self.libraries.values())

    @property
    def kernel_total(self):
        return sum(self.kernel.values())


def milliseconds(count, runs):
    return 1000.0 * count / FREQUENCY / max(runs, 1)


def print_counter(title, counter, total, runs, limit):
    print(title)
    for name, count in counter.most_common(limit):
        print(f"  {milliseconds(count, runs):8.1f} ms  {100.0 * count / max(total, 1):5.1f}%  "
              f"{name}")


def print_profile(label, profile, runs, limit=15):
    total = len(profile.samples)
    print(f"== {label}: {milliseconds(total, runs):.1f} ms of processor time a run "
          f"({runs} run{'s' if runs != 1 else ''}, {total} samples): "
          f"user {milliseconds(profile.user, runs):.1f} ms, "
          f"kernel {milliseconds(profile.kernel_total, runs):.1f} ms")
    print_counter("kernel, by cause:", profile.kernel, total, runs, limit)
    print_counter("user, by library:", profile.libraries, total, runs, limit)
    print_counter("user, by function (its own time):", profile.functions, total, runs, limit)
    print()


def callers(samples, names, depth=5):
    """How often each chain of `depth` named callers leads to a frame in
    user space whose function's name holds one of `names` (frames without
    a name, such as SQLite's own, are passed over)."""
    chains = collections.Counter()
    for sample in samples:
        frames = [frame for frame in sample.frames if frame[0] < KERNEL_START]
        for index, (_, symbol, _) in enumerate(frames):
            if any(name in short(symbol) for name in names):
                named = [short(frame[1]) for frame in frames[index + 1:]
                         if frame[1] != "[unknown]"]
                chains[" < ".join([short(symbol)] + named[:depth])] += 1
                break
    return chains


def report(samples, windows, sqlite_runs, caller_names=()):
    """Prints the package steps' profile and that of the sqlite3 runs."""
    if not windows:
        sys.exit("the program printed no PACKAGESTEP line: is it a benchmark of this tree?")
    package = Profile([sample for sample in samples if in_windows(sample, windows)])
    print_profile("package step", package, len(windows))
    if caller_names:
        print_counter(f"package step, what calls {', '.join(caller_names)}:",
                      callers(package.samples, set(caller_names)), len(package.samples),
                      len(windows), 20)
        print()
    shell = Profile([sample for sample in samples if sample.comm == "sqlite3"])
    if shell.samples:
        print_profile("sqlite3 -json (each process of the sqlite3 shell)", shell, sqlite_runs)


def sqlite_runs_of(samples):
    return len({sample.pid for sample in samples if sample.comm == "sqlite3"})


def record(build, program, arguments, folder):
    """Runs the program under perf; returns its output lines and the path
    of the `perf script` text."""
    data = os.path.join(folder, "perf.data")
    scale = os.environ.get("KX_BENCH_SCALE", "small")
    command = ["perf", "record", "-q", "-o", data, "-e", "cpu-clock", "-F", str(FREQUENCY),
               "-k", "CLOCK_MONOTONIC", "--call-graph", "dwarf,4096", "--",
               os.path.join(build, "bench", program), *arguments]
    result = subprocess.run(command, env=bench.bench_environment(scale), text=True,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        sys.stdout.write(result.stdout)
        sys.exit(f"{program} under perf exited {result.returncode}")
    script = os.path.join(folder, "perf-script.txt")
    with open(script, "w") as out:
        subprocess.run(["perf", "script", "-i", data, "-F", "comm,pid,time,ip,sym,dso"],
                       stdout=out, stderr=subprocess.DEVNULL, check=True)
    return result.stdout.splitlines(), script


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build/bench")
    parser.add_argument("--script", help="a perf script text kept before")
    parser.add_argument("--windows", help="a file of the program's output (PACKAGESTEP lines)")
    parser.add_argument("--callers", help="also list what calls the functions named "
                        "(comma-separated), five frames up")
    parser.add_argument("program", nargs="?")
    parser.add_argument("arguments", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    caller_names = tuple(name for name in (args.callers or "").split(",") if name)
    if args.script:
        with open(args.windows or args.script) as lines:
            windows = parse_windows(lines)
        with open(args.script, errors="replace") as lines:
            samples = parse_script(lines)
        report(samples, windows, sqlite_runs_of(samples), caller_names)
        return
    if not args.program:
        parser.error("name a benchmark program (or --script)")
    with tempfile.TemporaryDirectory(prefix="kxbench-profile") as folder:
        output, script = record(args.build, args.program, args.arguments, folder)
        with open(script, errors="replace") as lines:
            samples = parse_script(lines)
    print(f"{args.program} {' '.join(args.arguments)}".strip() + ", one run each:")
    report(samples, parse_windows(output), sqlite_runs_of(samples), caller_names)


if __name__ == "__main__":
    main()
