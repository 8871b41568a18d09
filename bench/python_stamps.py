#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""The stamps of a 100,000-frame file: rgbstream.stamps in a whole Python
process against `rgbtool info`, side by side, alternating, median of N runs.

    /usr/bin/python3 bench/python_stamps.py [--build DIR] [--rounds N] [--frames N] [PATH]

Without PATH the file is made in a temporary directory: --frames frames of
64 x 48 (973 MB for 100,000). Both sides read the headers alone. Both run
once untimed first, so the file is in the page cache for both. The
in-process time of rgbstream.stamps (interpreter and import excluded) is
printed too.

Target: rgbstream.stamps <= 2 x rgbtool info, whole processes.
"""
import os
import statistics
import struct
import subprocess
import sys
import tempfile

from python_common import alternated, arguments, built, package_dir, run, verdict

TARGET = 2.0
WIDTH, HEIGHT = 64, 48
CYCLE_MS = 10_000_000


def header(stamp):
    return struct.pack(">HBBHHHHii4x80sii400x", 474, 0, 1, 3, WIDTH, HEIGHT, 3, 0, 255, b"", 0,
                       stamp)


def generate(path, frames):
    pixels = bytes(range(256)) * (3 * WIDTH * HEIGHT // 256)
    with open(path, "wb") as file:
        for n in range(frames):
            file.write(header(40 * n % CYCLE_MS) + pixels)


def main():
    args = arguments(__doc__, rounds=7, frames=100_000, path=True).parse_args()
    package_dir(args.build)
    tool = built(args.build, "rgbtool", "rgbtool")

    with tempfile.TemporaryDirectory() as scratch:
        path = args.path or os.path.join(scratch, "stamps.rgb")
        if not args.path:
            generate(path, args.frames)
        python = ["/usr/bin/python3", "-c", "import sys, rgbstream; rgbstream.stamps(sys.argv[1])",
                  path]
        sides = {"rgbtool info": [tool, "info", path], "rgbstream.stamps": python}
        inside = subprocess.run(
            ["/usr/bin/python3", "-c",
             "import sys, time, rgbstream\n"
             "best = 1e9\n"
             "for _ in range(5):\n"
             "    start = time.perf_counter(); s = rgbstream.stamps(sys.argv[1])\n"
             "    best = min(best, time.perf_counter() - start)\n"
             "print(len(s), best)", path], check=True, capture_output=True, text=True).stdout.split()
        for command in sides.values():
            run(command)  # untimed: the headers in the page cache for both
        times = {side: [] for side in sides}
        cpu = {side: [] for side in sides}
        for index in range(args.rounds):
            for side, command in alternated(sides.items(), index):
                wall, _, seconds = run(command)
                times[side].append(wall)
                cpu[side].append(seconds)

    tool_time = statistics.median(times["rgbtool info"])
    python_time = statistics.median(times["rgbstream.stamps"])
    print(f"{inside[0]} frames of {WIDTH} x {HEIGHT}, {os.uname().release}, "
          f"median of {args.rounds} rounds")
    print(f"  rgbtool info, whole process              {tool_time:7.3f} s")
    print(f"  rgbstream.stamps, whole process          {python_time:7.3f} s")
    print(f"  rgbstream.stamps in the process (best)   {float(inside[1]):7.3f} s")
    # CPU time is less sensitive than wall time to other load on the machine.
    tool_cpu = statistics.median(cpu["rgbtool info"])
    python_cpu = statistics.median(cpu["rgbstream.stamps"])
    print(f"  CPU (user + system): rgbtool {tool_cpu:.3f} s, Python {python_cpu:.3f} s, "
          f"ratio {python_cpu / tool_cpu:.2f}")
    print(f"time ratio (Python / rgbtool info): {verdict(python_time / tool_time, TARGET)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
