# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""What the rgbstream benchmarks share: the build's package, whole-process
runs measured by /usr/bin/time, and the 1920 x 1080 test stream."""
import argparse
import os
import subprocess
import sys
import tempfile
import time

WIDTH, HEIGHT = 1920, 1080
HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_BUILD = os.path.join(HERE, "..", "build")


def arguments(doc, rounds, frames=None, path=False):
    """The options every benchmark takes: --build, --rounds, and --frames and a
    PATH where it makes its own stream unless given one."""
    parser = argparse.ArgumentParser(description=doc.splitlines()[0])
    if path:
        parser.add_argument("path", nargs="?")
    parser.add_argument("--build", default=DEFAULT_BUILD)
    parser.add_argument("--rounds", type=int, default=rounds)
    if frames is not None:
        parser.add_argument("--frames", type=int, default=frames)
    return parser


def built(build, *relative):
    """A program of the build, or exit saying what to build."""
    program = os.path.abspath(os.path.join(build, *relative))
    if not os.path.exists(program):
        sys.exit(f"{program} is missing: build {build} in Release first")
    return program


def package_dir(build):
    """The build's python/ directory, made importable here and in child processes."""
    package = os.path.abspath(os.path.join(build, "python"))
    if not os.path.exists(os.path.join(package, "rgbstream", "__init__.py")):
        sys.exit(f"{package}/rgbstream is missing: build {build} in Release first")
    os.environ["PYTHONPATH"] = package
    if package not in sys.path:
        sys.path.insert(0, package)
    return package


def run(command, env=None):
    """Wall seconds, peak RSS (KiB) and CPU seconds (user + system) of one process."""
    with tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        subprocess.run(["/usr/bin/time", "-o", peak.name, "-f", "%M %U %S", *command], check=True,
                       env=env, stdout=subprocess.DEVNULL)
        wall = time.perf_counter() - start
        peak_kib, user, system = peak.read().split()[-3:]
        return wall, int(peak_kib), float(user) + float(system)


def generate(path, frames, first=0):
    """frames 1920 x 1080 frames 40 ms apart, each a shifted copy of one noise picture."""
    import numpy as np
    import rgbstream

    rng = np.random.default_rng(1)
    image = rng.integers(0, 256, size=(HEIGHT, WIDTH, 3), dtype=np.uint8)
    with rgbstream.Writer(path) as writer:
        for n in range(first, first + frames):
            writer.write(np.roll(image, n, axis=1), stamp=40 * n)


def alternated(items, round_index):
    """The sides of a round, in reverse order every other round, so that
    neither side always runs after the other (warm caches, CPU frequency)."""
    items = list(items)
    return items if round_index % 2 == 0 else items[::-1]


def verdict(ratio, target):
    return f"{ratio:.2f} (target <= {target}) {'ok' if ratio <= target else 'MISSED'}"
