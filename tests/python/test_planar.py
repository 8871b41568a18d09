# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# Reader.planar(): a read-only view over a mapping of the file, checked
# against ImageMagick's reading of single frames cut out of the stream.
import os
import subprocess
import time

import numpy as np
import pytest

import rgbstream
from conftest import header_bytes, no_preload_env, pattern, stream_bytes


def imagemagick_single_frame(path, index, frame_size, scratch):
    """Frame `index` cut out with dd, as ImageMagick reads that one picture: (H, W, 3)."""
    single = scratch / f"frame{index}.sgi"
    subprocess.run(["dd", f"if={path}", f"of={single}", f"bs={frame_size}", f"skip={index}",
                    "count=1", "status=none"], check=True, env=no_preload_env())
    ppm = subprocess.run(["convert", f"sgi:{single}", "-depth", "8", "ppm:-"], check=True,
                         capture_output=True, env=no_preload_env()).stdout
    magic, width, height, maxval, pixels = ppm.split(maxsplit=4)
    assert (magic, maxval) == (b"P6", b"255")
    return np.frombuffer(pixels, np.uint8).reshape(int(height), int(width), 3)


@pytest.mark.parametrize("planes", [3, 4])
def test_planar_view_matches_imagemagick(tmp_path, planes):
    frames = pattern(4, 5, 7, channels=planes, seed=50 + planes)
    path = tmp_path / "planar.rgb"
    path.write_bytes(stream_bytes(frames, range(4)))
    with rgbstream.open(path) as reader:
        view = reader.planar()
    assert view.shape == (4, planes, 5, 7) and view.dtype == np.uint8
    assert not view.flags.writeable and view.strides[2] == -7
    frame_size = 512 + planes * 5 * 7
    for n in (0, 3):
        picture = np.moveaxis(view[n], 0, -1)
        np.testing.assert_array_equal(picture[..., :3],
                                      imagemagick_single_frame(path, n, frame_size, tmp_path))
    np.testing.assert_array_equal(np.moveaxis(view, 1, -1), frames)  # alpha too


def test_planar_view_reads_nothing_until_touched(tmp_path):
    # 2,000 frames of 4096 x 4096, 100 GB, with only the first header
    # written: a sparse file that no one could read in time.
    path = tmp_path / "huge.rgb"
    frame_size = 512 + 3 * 4096 * 4096
    with open(path, "wb") as file:
        file.write(header_bytes(4096, 4096, 3, 0))
        file.truncate(2000 * frame_size)
    started = time.perf_counter()
    with rgbstream.open(path) as reader:
        view = reader.planar()
    assert time.perf_counter() - started < 1.0
    assert view.shape == (2000, 3, 4096, 4096)
    assert view[1999, 2, 0, 0] == 0 and view[1999, 2, ::1024, ::1024].sum() == 0
    os.remove(path)
