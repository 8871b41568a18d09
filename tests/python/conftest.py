# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# Shared helpers for the rgbstream tests. Streams are built here byte by byte
# from the frame format (header fields at their offsets, planes bottom row
# first), independently of the library, and read back by independent
# readers (ImageMagick, rgbtool check).
import faulthandler
import os
import struct
import subprocess
import sys

import numpy as np
import pytest


def header_bytes(width, height, planes, stamp, magic=474):
    header = struct.pack(">HBBHHHHii4x80sii400x", magic, 0, 1, 3, width, height, planes, 0, 255,
                         b"", 0, stamp)
    assert len(header) == 512
    return header


def frame_bytes(image, stamp, magic=474):
    """One frame: image is (H, W, 3 or 4) uint8 with the top row first."""
    height, width, planes = image.shape
    # Scanline 0 of each plane is the bottom row of the picture.
    return header_bytes(width, height, planes, stamp, magic) + b"".join(
        image[::-1, :, c].tobytes() for c in range(planes))


def stream_bytes(images, stamps):
    return b"".join(frame_bytes(image, stamp) for image, stamp in zip(images, stamps))


def pattern(frames, height, width, channels=3, seed=0):
    """Frames whose every byte differs from its neighbours in every direction."""
    rng = np.random.default_rng(seed)
    return rng.integers(0, 256, size=(frames, height, width, channels), dtype=np.uint8)


def run_python(code, *args, timeout=120):
    """Runs code in a new interpreter with this one's environment (rgbstream on
    its path, the sanitizer runtimes preloaded when they are here)."""
    return subprocess.run([sys.executable, "-c", code, *map(str, args)], capture_output=True,
                          text=True, timeout=timeout)


def make_fifo(tmp_path, name="fifo.rgb"):
    path = tmp_path / name
    try:
        os.mkfifo(path)
    except OSError as error:
        pytest.fail(f"cannot make a FIFO for the test: {error}")
    return path


@pytest.fixture
def watchdog():
    # Reading a FIFO fed by a thread of this process deadlocks if the GIL is
    # held inside the library: end the run with tracebacks instead of hanging.
    faulthandler.dump_traceback_later(60, exit=True)
    yield
    faulthandler.cancel_dump_traceback_later()


def no_preload_env():
    # Under the sanitizer build the interpreter runs with the sanitizer
    # runtimes preloaded; the independent tools must not inherit that.
    env = dict(os.environ)
    env.pop("LD_PRELOAD", None)
    return env


def imagemagick_frame(path, index):
    """Frame `index` of a stream as ImageMagick reads it: (H, W, 3), top row first."""
    ppm = subprocess.run(["convert", f"sgi:{path}[{index}]", "-depth", "8", "ppm:-"],
                         check=True, capture_output=True, env=no_preload_env()).stdout
    magic, width, height, maxval, pixels = ppm.split(maxsplit=4)
    assert (magic, maxval) == (b"P6", b"255")
    return np.frombuffer(pixels, np.uint8).reshape(int(height), int(width), 3)


@pytest.fixture
def rgbtool_check():
    """Runs `rgbtool check` on a file; returns (exit status, output)."""
    tool = os.environ.get("RGBTOOL", "")
    if not tool or not os.access(tool, os.X_OK):
        pytest.fail(f"RGBTOOL must name the built rgbtool binary (got {tool!r}); "
                    "configure with RGB_BUILD_TOOL=ON and run through CTest")

    def check(path):
        done = subprocess.run([tool, "check", os.fspath(path)], capture_output=True, text=True,
                              env=no_preload_env())
        return done.returncode, done.stdout + done.stderr

    return check


def pytest_sessionfinish(session, exitstatus):
    # A skipped test is a test that did not run: the suite fails instead.
    reporter = session.config.pluginmanager.get_plugin("terminalreporter")
    if reporter is not None and reporter.stats.get("skipped") and exitstatus == 0:
        session.exitstatus = 1
