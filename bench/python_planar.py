#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""Reader.planar() is constant time: the view of the 622 MB stream (100
frames of 1920 x 1080) against the view of a stream 100 times as long,
side by side, with what the process's resident memory grew by.

    /usr/bin/python3 bench/python_planar.py [--build DIR] [--rounds N]

The long stream is the short one's frames followed by a sparse tail (its
headers written, its pixels holes): planar() reads neither. Each round
opens both streams afresh and times planar() alone; the sides alternate.

Target: the long stream's view takes no longer than the short one's
(ratio <= 1.5, timer noise allowed for), and neither grows memory.
"""
import os
import resource
import statistics
import sys
import tempfile
import time

from python_common import HEIGHT, WIDTH, alternated, arguments, generate, package_dir, verdict

TARGET = 1.5
FRAMES = 100
LONGER = 100


def lengthen(short, long, times):
    """long: short's bytes, then frames whose headers are short's first header."""
    frame_size = 512 + 3 * WIDTH * HEIGHT
    data = open(short, "rb").read()
    with open(long, "wb") as file:
        file.write(data)
        for n in range(FRAMES, FRAMES * times):
            os.pwrite(file.fileno(), data[:512], n * frame_size)
        file.truncate(FRAMES * times * frame_size)


def view_time(rgbstream, path):
    with rgbstream.open(path) as reader:
        before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
        start = time.perf_counter()
        view = reader.planar()
        seconds = time.perf_counter() - start
        grown = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
    return seconds, grown, view.shape


def main():
    args = arguments(__doc__, rounds=9).parse_args()
    package_dir(args.build)
    import rgbstream

    with tempfile.TemporaryDirectory() as scratch:
        short, long = os.path.join(scratch, "short.rgb"), os.path.join(scratch, "long.rgb")
        generate(short, FRAMES)
        lengthen(short, long, LONGER)
        sides = {"short": short, "long": long}
        times = {side: [] for side in sides}
        grown, shapes = 0, {}
        for index in range(args.rounds):
            for side, path in alternated(sides.items(), index):
                seconds, kib, shapes[side] = view_time(rgbstream, path)
                times[side].append(seconds)
                grown = max(grown, kib)
        sizes = {side: os.path.getsize(path) for side, path in sides.items()}

    print(f"{os.uname().release}, median of {args.rounds} rounds")
    for side in sides:
        print(f"  planar() of {sizes[side] / 1e9:7.1f} GB {str(shapes[side]):26} "
              f"{statistics.median(times[side]) * 1e6:8.1f} us")
    print(f"  resident memory grew by at most {grown} KiB")
    ratio = statistics.median(times["long"]) / statistics.median(times["short"])
    print(f"time ratio (100 x longer / 622 MB): {verdict(ratio, TARGET)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
