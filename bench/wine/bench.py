#!/usr/bin/env python3
"""The uninstaller's performance under Wine, against its two references and a generated NSIS uninstaller.

    bench.py --build DIR --exe PXUNINS.EXE --programs DIR [--quick] [--runs R] [--sizes N,...]
             [--peer-runs R] [--profile | --profile-only] [--profile-runs R]

For every size N (files in nested folders, ten a folder, folders in folders) and every run, in turn
(ours, display, bare, nsis, ours, display, ...), the tree is staged afresh in C:\\bench\\app of a Wine
prefix of the bench's own (pxwine.session; DIR/prefix is kept between benches), with the uninstall log
beside the contender, and bench_clock.exe times the contender from the click on the confirmation to
the box "The uninstall is complete". After each run the tree must be gone. Medians and ratios go to
stdout and to DIR/results/latest.md; every sample goes to DIR/results/samples.csv.

--profile also times the display's calls one by one in the reference (and its repaint-cutting
variants) at N = 10,000 and records a system-wide `perf` profile of the uninstaller's removal.
"""

import argparse
import csv
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

from pxwine import session as wine_session  # noqa: E402
from pxwine.fixed_names import UNINSTALLER_FILE_NAME  # noqa: E402
from pxwine.installation import Stage  # noqa: E402
from pxwine.paths import temp_folders  # noqa: E402
from pxwine.uninstall_log import ENTRY_KIND_DIRECTORY, LOG_NAME, sound_log  # noqa: E402

FILES_PER_FOLDER = 10
APP_WINDOWS = "C:\\bench\\app"

# name, go button id, program file in the app folder, arguments
CONTENDERS = [
    ("ours", 6, UNINSTALLER_FILE_NAME, []),
    ("display", 6, "reference_removal.exe", ["display"]),
    ("bare", 6, "reference_removal.exe", ["bare"]),
    ("nsis", 1, "uninst.exe", []),
]


def log(message):
    print("[bench] " + message, flush=True)


# ---- the tree and its log ----

def tree_entries(count):
    """(kind, relative path) in log order: a folder before its files, its files before its subfolders."""
    folders = max(1, -(-count // FILES_PER_FOLDER))
    names = {0: "data"}
    entries = []

    def walk(folder):
        entries.append((1, names[folder]))
        first = folder * FILES_PER_FOLDER
        for number in range(first, min(first + FILES_PER_FOLDER, count)):
            entries.append((0, "%s\\file%05d.dat" % (names[folder], number)))
        for child in range(folder * 10 + 1, min(folder * 10 + 11, folders)):
            names[child] = "%s\\dir%d" % (names[folder], child - folder * 10 - 1)
            walk(child)

    walk(0)
    return entries


def log_bytes(entries):
    return sound_log([(kind, APP_WINDOWS + "\\" + relative) for kind, relative in entries])


def stage(prefix, entries, log_data, programs):
    app = Stage(prefix, APP_WINDOWS + "\\")
    for source, name in programs:
        app.copy(source, name)
    app.file(LOG_NAME, log_data)
    for kind, relative in entries:
        if kind == ENTRY_KIND_DIRECTORY:
            app.folder(relative)
        else:
            app.file(relative, b"Plexitone data file\r\n")


# ---- the NSIS peer ----

def nsis_script(entries, out_file):
    lines = [
        'Name "Plexitone"',
        'OutFile "%s"' % out_file,
        'InstallDir "C:\\bench\\nsis"',
        "RequestExecutionLevel user",
        "SilentInstall silent",
        "",
        "; The installer only writes the uninstaller. Its pages are the stock ones, a confirmation then the",
        "; progress page: named, since a script that names none gets the progress page alone.",
        "UninstPage uninstConfirm",
        "UninstPage instfiles",
        "",
        "Section",
        '  SetOutPath "$INSTDIR"',
        '  WriteUninstaller "$INSTDIR\\uninst.exe"',
        "SectionEnd",
        "",
        "; The same removals as the uninstall log's, newest first; the box marks the end, as ours does.",
        'Section "Uninstall"',
    ]
    for kind, relative in reversed(entries):
        command = "RMDir" if kind == 1 else "Delete"
        lines.append('  %s "%s\\%s"' % (command, APP_WINDOWS, relative))
    lines += ['  MessageBox MB_OK "The uninstall is complete"', "SectionEnd", ""]
    return "\r\n".join(lines)


def build_nsis_uninstaller(bench, count, entries):
    target = os.path.join(bench.nsis_dir, "uninst_%d.exe" % count)
    if os.path.exists(target):
        return target
    script = os.path.join(bench.nsis_dir, "peer_%d.nsi" % count)
    maker = os.path.join(bench.nsis_dir, "make_uninstaller_%d.exe" % count)
    with open(script, "w", encoding="cp1252", newline="") as stream:
        stream.write(nsis_script(entries, maker))
    subprocess.run(["makensis", "-V1", script], check=True, stdout=subprocess.DEVNULL)
    output = os.path.join(bench.drive_c, "bench", "nsis")
    if os.path.exists(output):
        shutil.rmtree(output)
    bench.wine([maker, "/S"], timeout=300)
    made = os.path.join(output, "uninst.exe")
    for _ in range(100):
        if os.path.exists(made):
            break
        time.sleep(0.1)
    shutil.copyfile(made, target)
    return target


# ---- Wine and X ----

class Bench:
    def __init__(self, build_dir):
        self.dir = os.path.abspath(build_dir)
        self.prefix = os.path.join(self.dir, "prefix")
        self.drive_c = os.path.join(self.prefix, "drive_c")
        self.app_dir = os.path.join(self.drive_c, "bench", "app")
        self.nsis_dir = os.path.join(self.dir, "nsis")
        self.results_dir = os.path.join(self.dir, "results")
        self.wine_log = os.path.join(self.dir, "wine.log")
        self.env = None
        os.makedirs(self.nsis_dir, exist_ok=True)
        os.makedirs(self.results_dir, exist_ok=True)

    def start(self, clock):
        """The bench's own Xvfb and prefix (kept from an earlier bench), the desktop held by the clock."""
        wine_session.start(self.dir, clock, fresh=False)
        self.env = wine_session.Session(self.dir).environment
        log("display %s; prefix %s" % (self.env["DISPLAY"], self.prefix))
        time.sleep(2)

    def log_stream(self):
        return open(self.wine_log, "ab")

    def wine(self, arguments, timeout, capture=False, env=None):
        with self.log_stream() as output:
            result = subprocess.run(["wine"] + arguments, env=env or self.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE if capture else output, stderr=output,
                                    timeout=timeout, check=False)
        return result.stdout.decode("latin-1") if capture else result.returncode

    def stop(self):
        wine_session.stop(self.dir)

    def clean_temp(self):
        """The generated uninstaller leaves its copy in the temporary folder; every run starts without one."""
        for temp in temp_folders(self.prefix):
            for name in os.listdir(temp):
                if name.startswith("~nsu"):
                    shutil.rmtree(os.path.join(temp, name), ignore_errors=True)


def run_one(bench, clock, contender, entries, log_data, programs, env=None, extra_args=()):
    name, go_id, program, arguments = contender
    stage(bench.prefix, entries, log_data, programs)
    bench.clean_temp()
    subprocess.run(["sync"], check=False)
    output = bench.wine([clock, str(go_id), APP_WINDOWS + "\\" + program] + list(arguments) + list(extra_args),
                        timeout=1200, capture=True, env=env)
    match = re.search(r"startup_ms ([0-9.]+) removal_ms ([0-9.]+)", output)
    if match is None:
        raise RuntimeError("%s: the clock failed: %s" % (name, output.strip()))
    if os.path.exists(os.path.join(bench.app_dir, "data")):
        left = sum(len(files) + len(dirs) for _, dirs, files in os.walk(os.path.join(bench.app_dir, "data")))
        raise RuntimeError("%s left %d entries of the tree" % (name, left + 1))
    return float(match.group(1)), float(match.group(2))


def load_average():
    with open("/proc/loadavg") as stream:
        return float(stream.read().split()[0])


def machine_description():
    model = "unknown"
    with open("/proc/cpuinfo") as stream:
        for line in stream:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    wine = subprocess.run(["wine", "--version"], stdout=subprocess.PIPE, check=False).stdout.decode().strip()
    nsis = subprocess.run(["makensis", "-VERSION"], stdout=subprocess.PIPE, check=False).stdout.decode().strip()
    return "%d cores (nproc), %s, %s, NSIS %s" % (os.cpu_count(), model, wine, nsis)


def ratio(a, b):
    return a / b if b else float("nan")


def benchmark(bench, args, clock, reference, exe):
    sizes = [int(size) for size in args.sizes.split(",")]
    samples = []
    rows = []
    sizes_of = {"ours (pxunins.exe)": os.path.getsize(exe), "reference_removal.exe": os.path.getsize(reference)}
    for count in sizes:
        entries = tree_entries(count)
        data = log_bytes(entries)
        log("N = %d: %d log entries (%d folders); building the NSIS uninstaller" %
            (count, len(entries), sum(1 for kind, _ in entries if kind == 1)))
        uninstaller = build_nsis_uninstaller(bench, count, entries)
        sizes_of["nsis uninst.exe, N = %d" % count] = os.path.getsize(uninstaller)
        programs = {
            "ours": [(exe, UNINSTALLER_FILE_NAME)],
            "display": [(reference, "reference_removal.exe")],
            "bare": [(reference, "reference_removal.exe")],
            "nsis": [(uninstaller, "uninst.exe")],
        }
        runs = args.runs if args.runs else (3 if args.quick else (5 if count >= 10000 else 7))
        # The peer takes several minutes a run at 50,000 files, and its ratio is far from 1 either way:
        # fewer of its runs keep the whole bench within half an hour.
        peer_runs = min(runs, args.peer_runs) if count >= 50000 and args.peer_runs else runs
        # One untimed round of a small tree first: the first runs after the prefix starts pay for
        # Wine's cold caches, whatever their size.
        if count == sizes[0]:
            small = tree_entries(1000)
            warm_programs = dict(programs, nsis=[(build_nsis_uninstaller(bench, 1000, small), "uninst.exe")])
            for contender in CONTENDERS:
                run_one(bench, clock, contender, small, log_bytes(small), warm_programs[contender[0]])
        loads = [load_average()]
        times = {name: [] for name, _, _, _ in CONTENDERS}
        starts = {name: [] for name, _, _, _ in CONTENDERS}
        for run in range(runs):
            for contender in CONTENDERS:
                name = contender[0]
                if name == "nsis" and run >= peer_runs:
                    continue
                startup, removal = run_one(bench, clock, contender, entries, data, programs[name])
                times[name].append(removal)
                starts[name].append(startup)
                samples.append((count, run, name, startup, removal, load_average()))
                log("N = %d run %d %-8s start-up %8.1f ms  removal %9.1f ms" % (count, run + 1, name, startup, removal))
            loads.append(load_average())
        median = {name: statistics.median(values) for name, values in times.items()}
        # Runs of one round share the machine's state of the moment; their ratio is steadier than
        # the ratio of medians when the machine is shared.
        paired = statistics.median(ours / display for ours, display in zip(times["ours"], times["display"]))
        start_median = {name: statistics.median(values) for name, values in starts.items()}
        rows.append((count, "%d" % runs if peer_runs == runs else "%d (NSIS %d)" % (runs, peer_runs), median, start_median, min(loads), max(loads),
                     {name: (min(values), max(values)) for name, values in times.items()}, paired))

    with open(os.path.join(bench.results_dir, "samples.csv"), "w", newline="") as stream:
        writer = csv.writer(stream)
        writer.writerow(["files", "run", "contender", "startup_ms", "removal_ms", "load1"])
        writer.writerows(samples)

    lines = ["Removal, from the click on Yes to the box \"The uninstall is complete\" (medians, ms):", "",
             "| N files | runs | ours | (b) display | (a) bare | NSIS | ours / (b) | ours / (b), median of rounds "
             "| ours / (a) | ours / NSIS | load 1 min |",
             "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|"]
    for count, runs, median, _, low, high, _, paired in rows:
        lines.append("| %d | %s | %.0f | %.0f | %.0f | %.0f | %.3f | %.3f | %.2f | %.3f | %.1f-%.1f |" % (
            count, runs, median["ours"], median["display"], median["bare"], median["nsis"],
            ratio(median["ours"], median["display"]), paired, ratio(median["ours"], median["bare"]),
            ratio(median["ours"], median["nsis"]), low, high))
    lines += ["", "Spread of the removal times (min-max, ms):", "",
              "| N files | ours | (b) display | (a) bare | NSIS |", "|---:|---|---|---|---|"]
    for count, _, _, _, _, _, spread, _ in rows:
        lines.append("| %d | %s |" % (count, " | ".join("%.0f-%.0f" % spread[name]
                                                        for name in ("ours", "display", "bare", "nsis"))))
    lines += ["", "Start-up, from process start to the first window (medians, ms):", "",
              "| N files | ours (confirmation box) | NSIS (first page, after its copy to %TEMP%) | ours / NSIS |",
              "|---:|---:|---:|---:|"]
    for count, _, _, start_median, _, _, _, _ in rows:
        lines.append("| %d | %.0f | %.0f | %.3f |" % (count, start_median["ours"], start_median["nsis"],
                                                      ratio(start_median["ours"], start_median["nsis"])))
    lines += ["", "Sizes (bytes):", ""]
    for name, size in sizes_of.items():
        lines.append("- %s: %d (%.1f KiB)" % (name, size, size / 1024.0))
    lines += ["", "Machine: " + machine_description()]
    text = "\n".join(lines) + "\n"
    with open(os.path.join(bench.results_dir, "latest.md"), "w") as stream:
        stream.write(text)
    print()
    print(text, flush=True)


# ---- the profile ----

def profile(bench, args, clock, reference, exe):
    count = 10000
    entries = tree_entries(count)
    data = log_bytes(entries)
    report = os.path.join(bench.results_dir, "profile.txt")
    calls = os.path.join(bench.app_dir + "_calls.txt")
    with open(report, "w") as out:
        out.write("Machine: %s\n\n" % machine_description())
        out.write("== Call by call in the reference, N = %d (QueryPerformanceCounter around each call;\n"
                  "   paints counted by subclassing the controls during the call)\n" % count)
        for mode in ("display", "noredraw", "lockupdate", "hiddentext", "throttled", "classicbar", "bare"):
            for run in range(args.profile_runs):
                if os.path.exists(calls):
                    os.remove(calls)
                contender = ("reference " + mode, 6, "reference_removal.exe", [mode, "C:\\bench\\app_calls.txt"])
                startup, removal = run_one(bench, clock, contender, entries, data,
                                           [(reference, "reference_removal.exe")])
                with open(calls) as stream:
                    detail = stream.read()
                out.write("\n-- %s, run %d: removal %.0f ms (clock)\n%s" % (mode, run + 1, removal, detail))
                log("profile %s run %d: %.0f ms" % (mode, run + 1, removal))
        out.flush()

        perf = shutil.which("perf")
        if perf is None:
            out.write("\n(no perf on this machine: no system-wide profile)\n")
            return
        for name, program, arguments in (("ours", UNINSTALLER_FILE_NAME, []),
                                          ("bare", "reference_removal.exe", ["bare"])):
            data_file = os.path.join(bench.results_dir, "perf_%s.data" % name)
            stage(bench.prefix, entries, data, [(exe, UNINSTALLER_FILE_NAME), (reference, "reference_removal.exe")])
            recorder = subprocess.Popen([perf, "record", "-a", "-F", "999", "-e", "cpu-clock", "-o", data_file],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(1)
            output = bench.wine([clock, "6", APP_WINDOWS + "\\" + program] + arguments, timeout=1200, capture=True)
            recorder.send_signal(signal.SIGINT)
            recorder.wait(60)
            out.write("\n== perf record -a -e cpu-clock over a whole run of %s, N = %d (%s)\n" %
                      (name, count, output.strip()))
            for sort in ("comm", "comm,dso"):
                table = subprocess.run([perf, "report", "-i", data_file, "--stdio", "--sort", sort,
                                        "--percent-limit", "1.5"],
                                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
                out.write("\n-- by %s\n" % sort)
                out.write("\n".join(line for line in table.stdout.decode("latin-1").splitlines()
                                    if line and not line.startswith("#")) + "\n")
            symbols = subprocess.run([perf, "report", "-i", data_file, "--stdio", "--sort", "comm,dso,sym",
                                      "--percent-limit", "1"], stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, check=False)
            out.write("\n-- by comm,dso,symbol (above 1 %)\n")
            out.write("\n".join(line for line in symbols.stdout.decode("latin-1").splitlines()
                                if line and not line.startswith("#")) + "\n")
            out.flush()
            log("perf profile of %s written" % name)
    log("profile in " + report)
    with open(report) as stream:
        print(stream.read())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--programs", required=True)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--runs", type=int, default=0)
    parser.add_argument("--sizes", default="")
    parser.add_argument("--peer-runs", type=int, default=2,
                        help="runs of the NSIS uninstaller at 50,000 files and more (0: as many as the others)")
    parser.add_argument("--profile", action="store_true")
    parser.add_argument("--profile-only", action="store_true")
    parser.add_argument("--profile-runs", type=int, default=3)
    args = parser.parse_args()
    if not args.sizes:
        args.sizes = "1000" if args.quick else "1000,10000,50000"
    clock = os.path.join(os.path.abspath(args.programs), "bench_clock.exe")
    reference = os.path.join(os.path.abspath(args.programs), "reference_removal.exe")
    exe = os.path.abspath(args.exe)

    bench = Bench(args.build)
    started = time.time()
    try:
        bench.start(clock)
        log("load average %.2f; machine: %s" % (load_average(), machine_description()))
        if not args.profile_only:
            benchmark(bench, args, clock, reference, exe)
        if args.profile or args.profile_only:
            profile(bench, args, clock, reference, exe)
    finally:
        bench.stop()
        log("done in %.0f s" % (time.time() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
