#!/usr/bin/env python3
"""Runs every benchmark of a build tree one after the other and prints one table of
their results (the "@bench" lines they print) in Markdown, headed by the date and the
machine. Each benchmark's full output goes to <build>/bench/bench.log. Needs an X
server without a window manager (make bench runs it under xvfb-run)."""

import datetime
import os
import platform
import subprocess
import sys
import tempfile

# Folder and arguments of each benchmark, in the order they run.
BENCHMARKS = [
    ("press_roundtrip", []),
    ("press_roundtrip", ["--count", "10000", "--load"]),
    ("transmit", []),
    ("startup", []),
    ("memory", []),
    ("panel_scale", []),
    ("shortcut", []),
    ("pad_press", []),
    ("hold_repeat", []),
    ("remote_press", []),
    ("layout_io", []),
    ("button_paint", []),
]

COLUMNS = ["benchmark", "ours", "baseline", "ratio", "target", "met"]


def cpu_model():
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown CPU"


def run(build, name, arguments, log, environment):
    program = os.path.join(build, "bench", name, name)
    print(f"running {name} ...", file=sys.stderr, flush=True)
    log.write(f"===== {name} {' '.join(arguments)}\n")
    log.flush()
    try:
        done = subprocess.run([program] + arguments, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, env=environment, timeout=240,
                              check=False)
    except (OSError, subprocess.TimeoutExpired) as error:
        log.write(f"{error}\n")
        return [[name, "did not run", "", "", "", "NOT met"]]
    output = done.stdout.decode("utf-8", "replace")
    log.write(output)
    rows = [line.split("\t")[1:] for line in output.splitlines() if line.startswith("@bench\t")]
    if not rows:
        rows = [[name, f"no result (exit {done.returncode})", "", "", "", "NOT met"]]
    return rows


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    environment = dict(os.environ)
    runtime = tempfile.TemporaryDirectory(prefix="bench-runtime-")
    os.chmod(runtime.name, 0o700)
    environment["XDG_RUNTIME_DIR"] = runtime.name
    rows = []
    with open(os.path.join(build, "bench", "bench.log"), "w", encoding="utf-8") as log:
        for name, arguments in BENCHMARKS:
            rows.extend(run(build, name, arguments, log, environment))
    cores = os.cpu_count()
    print(f"{datetime.date.today().isoformat()}, {platform.machine()}, {cores} cores, "
          f"{cpu_model()}, {platform.system()} {platform.release()}")
    print()
    print("| " + " | ".join(COLUMNS) + " |")
    print("|" + "---|" * len(COLUMNS))
    for row in rows:
        print("| " + " | ".join((row + [""] * len(COLUMNS))[: len(COLUMNS)]) + " |")
    met = sum(1 for row in rows if row[-1] == "met")
    print(f"\n{met} of {len(rows)} targets met; details in {build}/bench/bench.log")


if __name__ == "__main__":
    main()
