#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""A per-frame mean over >= 2 GB of recordings: a 2-worker LocalCluster
against a plain loop in one process, side by side in one run.

    /usr/bin/python3 bench/python_cluster.py [--build DIR] [--rounds N] [--frames N]
        [--files N] [--chunk-mib M ...] [--dir DIR]

Both sides compute frame.mean() for every frame of the same files, in the
page cache for both (a warm-up pass reads every file first); the sides
alternate, and each round prints both absolute times. The cluster is
started (and its start-up time printed) before the timed rounds: the
figure is the computation, as in a session that keeps its cluster.
Without --dir the recordings (1920 x 1080, --frames in all, split into
--files files) are made in a temporary directory. --chunk-mib compares
chunk sizes (frames_per_chunk from the size); the default is the
package's own choice.

Target: cluster <= 1.0 x the plain loop, on this machine's 2 cores.
"""
import glob
import os
import statistics
import sys
import tempfile
import time

from python_common import HEIGHT, WIDTH, alternated, arguments, generate, package_dir, verdict

TARGET = 1.0


def plain_loop(paths):
    import rgbstream

    means = []
    for path in paths:
        with rgbstream.open(path) as reader:
            for frame in reader:
                means.append(frame.image.mean())
    return means


def main():
    parser = arguments(__doc__, rounds=3, frames=400)
    parser.add_argument("--files", type=int, default=4)
    parser.add_argument("--chunk-mib", type=float, nargs="*", default=[None])
    parser.add_argument("--dir")
    args = parser.parse_args()
    package_dir(args.build)  # the workers import rgbstream from there too
    import numpy as np
    import rgbstream
    from dask.distributed import Client, LocalCluster

    with tempfile.TemporaryDirectory() as scratch:
        directory = args.dir or scratch
        if not args.dir:
            per_file = -(-args.frames // args.files)
            for f, first in enumerate(range(0, args.frames, per_file)):
                generate(os.path.join(directory, f"rec{f:02d}.rgb"),
                         min(per_file, args.frames - first), first)
        paths = sorted(glob.glob(os.path.join(directory, "*.rgb")))
        size = sum(os.path.getsize(p) for p in paths)
        frame_bytes = HEIGHT * WIDTH * 3
        expected = plain_loop(paths)  # the warm-up pass: every file in the page cache

        started = time.perf_counter()
        with LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                          dashboard_address=None) as cluster, Client(cluster) as client:
            client.wait_for_workers(2)
            startup = time.perf_counter() - started
            print(f"{len(paths)} files, {size / 1e9:.2f} GB, {os.uname().release}, "
                  f"{os.cpu_count()} cores; cluster start-up {startup:.2f} s")
            for mib in args.chunk_mib:
                chunk = None if mib is None else max(1, int(mib * 2**20) // frame_bytes)
                array = rgbstream.to_dask(paths, frames_per_chunk=chunk)
                label = f"{array.chunks[0][0]} frames ({array.chunks[0][0] * frame_bytes / 2**20:.0f} MiB)"
                loops, clusters = [], []
                def loop_side():
                    start = time.perf_counter()
                    plain_loop(paths)
                    loops.append(time.perf_counter() - start)

                def cluster_side():
                    nonlocal got
                    start = time.perf_counter()
                    got = client.compute(array.mean(axis=(1, 2, 3))).result()
                    clusters.append(time.perf_counter() - start)

                got = None
                for index in range(args.rounds):
                    for side in alternated((loop_side, cluster_side), index):
                        side()
                    print(f"  chunks of {label}: loop {loops[-1]:6.2f} s   cluster {clusters[-1]:6.2f} s")
                np.testing.assert_allclose(got, expected)
                loop, on_cluster = statistics.median(loops), statistics.median(clusters)
                ratio = on_cluster / loop
                print(f"chunks of {label}: median loop {loop:.2f} s, cluster {on_cluster:.2f} s, "
                      f"ratio {verdict(ratio, TARGET)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
