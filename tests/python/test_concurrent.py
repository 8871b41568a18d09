# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# A Python Writer appending while another process replaces the file, the
# way rgbtool import --new does: lock the old file, rename a new one over it.
import subprocess
import sys

import rgbstream

FRAMES = 300
REPLACEMENTS = 30
MARK = 5_000_000  # replacement n adds a frame stamped MARK + n

WRITER = """
import sys, time, numpy as np, rgbstream
image = np.zeros((8, 8, 3), np.uint8)
with rgbstream.Writer(sys.argv[1]) as writer:
    for n in range(int(sys.argv[2])):
        image[...] = n % 256
        writer.write(image, n)
        time.sleep(0.002)
"""

# Each replacement copies what the file holds into a new file, adds a
# marker frame and renames it over the old one, all under the old file's
# lock: an appender that goes on appending to the old file loses its frames.
REPLACER = """
import fcntl, os, sys, time
sys.path.insert(0, sys.argv[4])
import numpy as np
from conftest import frame_bytes
path, replacements, mark = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for n in range(replacements):
    with open(path, "rb") as old:
        fcntl.flock(old, fcntl.LOCK_EX)
        new = path + ".new"
        with open(new, "wb") as out:
            out.write(old.read() + frame_bytes(np.zeros((8, 8, 3), np.uint8), mark + n))
        os.rename(new, path)
    time.sleep(0.02)
"""


def test_a_writer_loses_no_frame_to_a_replacement(tmp_path):
    path = tmp_path / "live.rgb"
    path.write_bytes(b"")
    here = __file__.rsplit("/", 1)[0]
    writer = subprocess.Popen([sys.executable, "-c", WRITER, str(path), str(FRAMES)],
                              stderr=subprocess.PIPE, text=True)
    replacer = subprocess.Popen([sys.executable, "-c", REPLACER, str(path), str(REPLACEMENTS),
                                 str(MARK), here], stderr=subprocess.PIPE, text=True)
    for process in (writer, replacer):
        _, errors = process.communicate(timeout=120)
        assert process.returncode == 0, errors
    images, stamps = rgbstream.read(path)
    written = [s for s in stamps.tolist() if s < MARK]
    assert written == list(range(FRAMES)), "frames were lost or reordered"
    assert sorted(set(stamps.tolist()) - set(written)) == [MARK + n for n in range(REPLACEMENTS)]
    for image, stamp in zip(images, stamps):
        assert (image == (stamp % 256 if stamp < MARK else 0)).all()
