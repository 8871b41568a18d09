#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""Whole-process load of a stream: rgbstream.read in Debian's interpreter
against the C library's readRGBFile, alternating the two, median of N runs,
peak resident memory from /usr/bin/time.

    /usr/bin/python3 bench/python_read.py [--build DIR] [--rounds N] [--frames N] [PATH]

Without PATH a 100-frame 1920 x 1080 stream is generated in a temporary
directory. DIR is a Release build tree with the rgbstream package
(DIR/python) and bench_python_read_load (DIR/bench).

Targets, for the 100-frame stream: time ratio <= 1.1, peak memory <= the C
load's + 80 MiB. On small streams the interpreter's start-up (with numpy,
about 0.07 s) dominates.

Three more whole processes run in each round, alternated with the others:
/bin/true (launching a process and measuring it), the interpreter importing
numpy alone, and importing rgbstream. The interpreter with numpy, less the
launch, is a cost no package returning numpy arrays avoids: added to the C
load it gives the floor of the ratio. rgbstream's import less numpy's is
what the package itself adds.
"""
import os
import statistics
import sys
import tempfile

from python_common import alternated, arguments, built, generate, package_dir, run, verdict

TIME_TARGET = 1.1
MEMORY_TARGET_MIB = 80


def main():
    args = arguments(__doc__, rounds=5, frames=100, path=True).parse_args()
    package_dir(args.build)
    loader = built(args.build, "bench", "bench_python_read_load")

    with tempfile.TemporaryDirectory() as scratch:
        path = args.path
        if path is None:
            path = os.path.join(scratch, "stream.rgb")
            generate(path, args.frames)
        size = os.path.getsize(path)
        env = dict(os.environ)
        sides = {
            "c": [loader, path],
            "python": ["/usr/bin/python3", "-c", f"import rgbstream; rgbstream.read({path!r})"],
            "launch": ["/bin/true"],
            "numpy": ["/usr/bin/python3", "-c", "import numpy"],
            "import": ["/usr/bin/python3", "-c", "import rgbstream"],
        }
        # One untimed run of each: the file in the page cache, the
        # interpreter's modules too.
        for command in sides.values():
            run(command, env)
        times, peaks, cpu = ({side: [] for side in sides} for _ in range(3))
        for index in range(args.rounds):
            for side, command in alternated(sides.items(), index):
                wall, peak, seconds = run(command, env)
                times[side].append(wall)
                peaks[side].append(peak)
                cpu[side].append(seconds)

    c_time, py_time = statistics.median(times["c"]), statistics.median(times["python"])
    c_peak, py_peak = max(peaks["c"]), max(peaks["python"])
    ratio = py_time / c_time
    extra = (py_peak - c_peak) / 1024
    print(f"stream: {size / 1e6:.0f} MB, {os.uname().release}, median of {args.rounds} rounds")
    print(f"  readRGBFile, whole process (C)          {c_time:7.3f} s   peak {c_peak / 1024:7.1f} MiB")
    print(f"  rgbstream.read, whole process (Python)  {py_time:7.3f} s   peak {py_peak / 1024:7.1f} MiB")
    # CPU time is less sensitive than wall time to other load on the machine.
    c_cpu, py_cpu = statistics.median(cpu["c"]), statistics.median(cpu["python"])
    print(f"  CPU (user + system): C {c_cpu:.3f} s, Python {py_cpu:.3f} s, "
          f"ratio {py_cpu / c_cpu:.2f}" if c_cpu > 0 else "  CPU (user + system): too short to compare")
    launch, numpy_time, import_time = (statistics.median(times[side])
                                       for side in ("launch", "numpy", "import"))
    start_up = numpy_time - launch
    print(f"  start-up, whole process: /bin/true {launch:.3f} s, python3 -c 'import numpy' "
          f"{numpy_time:.3f} s, 'import rgbstream' {import_time:.3f} s "
          f"(the package's own {import_time - numpy_time:+.3f} s)")
    print(f"  floor of the ratio, (C + the interpreter and numpy's start-up) / C: "
          f"{(c_time + start_up) / c_time:.2f}; after the import, the read takes "
          f"{py_time - import_time + launch:.3f} s against the C load's {c_time:.3f} s")
    print(f"time ratio (Python / C): {verdict(ratio, TIME_TARGET)}")
    print(f"extra peak memory: {extra:+.1f} MiB (target <= {MEMORY_TARGET_MIB}) "
          f"{'ok' if extra <= MEMORY_TARGET_MIB else 'MISSED'}")
    return 0 if ratio <= TIME_TARGET and extra <= MEMORY_TARGET_MIB else 1


if __name__ == "__main__":
    sys.exit(main())
