# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
import errno
import os
import struct

import numpy as np
import pytest

import rgbstream
from conftest import frame_bytes, imagemagick_frame, pattern, run_python, stream_bytes


def test_written_stream_is_checked_by_independent_readers(tmp_path, rgbtool_check):
    frames = pattern(3, 6, 10, seed=7)
    path = tmp_path / "out.rgb"

    assert rgbstream.write(path, frames, stamps=[0, 40, 9_999_999]) == 3
    # A single (H, W, 3) image, and a strided view, append one frame each.
    assert rgbstream.write(str(path), frames[0, :, ::-1], stamps=[-5]) == 1
    before = rgbstream.get_time()
    with rgbstream.Writer(path) as writer:
        writer.write(frames[1])
        writer.write(frames[2], stamp=np.int64(77))
    after = rgbstream.get_time()

    expected = np.concatenate([frames, frames[:1, :, ::-1], frames[1:]])
    data = path.read_bytes()
    status, report = rgbtool_check(path)
    assert status == 0, report
    assert "6 frames of 10 x 6" in report
    # The bytes are those of the format, frame by frame (the clock's stamp
    # aside), and ImageMagick sees the same pictures.
    clock = struct.unpack_from(">i", data, 4 * (512 + 180) + 108)[0]
    assert before <= clock <= after or after < before  # the cycle may wrap
    assert data == stream_bytes(expected, [0, 40, 9_999_999, -5, clock, 77])
    for n in (0, 3, 5):
        np.testing.assert_array_equal(imagemagick_frame(path, n), expected[n])


BAD_ARGUMENTS = [
    (np.zeros((2, 4, 4, 3), np.float32), None, TypeError),
    (np.zeros((2, 4, 4, 3), np.int64).tolist(), None, TypeError),
    (np.zeros((2, 4, 4, 4), np.uint8), None, ValueError),
    (np.zeros((4, 4), np.uint8), None, ValueError),
    (np.zeros((1, 1, 65_536, 3), np.uint8), None, ValueError),
    (np.zeros((2, 4, 4, 3), np.uint8), [1, 2, 3], ValueError),
    (np.zeros((2, 4, 4, 3), np.uint8), [1.5, 2.5], TypeError),
    (np.zeros((2, 4, 4, 3), np.uint8), [1, 2**31], ValueError),
]


@pytest.mark.parametrize("images, stamps, error", BAD_ARGUMENTS)
def test_bad_arguments_append_nothing(tmp_path, images, stamps, error):
    path = tmp_path / "kept.rgb"
    rgbstream.write(path, pattern(1, 4, 4, seed=8), stamps=[1])
    kept = path.read_bytes()
    with pytest.raises(error):
        rgbstream.write(path, images, stamps)
    assert path.read_bytes() == kept


def test_writer_rejects_bad_frames(tmp_path):
    path = tmp_path / "writer.rgb"
    with rgbstream.Writer(path) as writer:
        with pytest.raises(ValueError):
            writer.write(np.zeros((1, 2, 4, 3), np.uint8))
        with pytest.raises(TypeError):
            writer.write(np.zeros((2, 4, 3), np.uint16))
        with pytest.raises(ValueError):
            writer.write(np.zeros((2, 4, 3), np.uint8), stamp=2**31)
        with pytest.raises(TypeError):
            writer.write(np.zeros((2, 4, 3), np.uint8), stamp=1.5)
    assert path.read_bytes() == b""


def test_full_disk_raises_and_reports_nothing_written():
    if not os.access("/dev/full", os.W_OK):
        pytest.fail("the test needs a writable /dev/full")
    with pytest.raises(OSError) as caught:
        rgbstream.write("/dev/full", pattern(2, 4, 4, seed=9))
    assert caught.value.errno == errno.ENOSPC
    with pytest.raises(OSError) as caught, rgbstream.Writer("/dev/full") as writer:
        writer.write(pattern(1, 4, 4, seed=9)[0], stamp=1)
    assert caught.value.errno == errno.ENOSPC


def test_unwritable_path_raises_oserror_from_errno(tmp_path):
    with pytest.raises(FileNotFoundError):
        rgbstream.write(tmp_path / "no" / "such" / "dir.rgb", pattern(1, 2, 2))


def test_a_failed_write_leaves_nothing_and_says_so(tmp_path):
    # A file-size limit that leaves room for one frame of the three: the
    # interpreter ignores SIGXFSZ, the library turns it into a failed append.
    path = tmp_path / "limited.rgb"
    rgbstream.write(path, pattern(1, 4, 4, seed=10), [0])
    kept = path.read_bytes()
    limit = len(kept) + 2 * (512 + 48) - 1
    done = run_python("import resource, sys, numpy as np, rgbstream\n"
                      f"resource.setrlimit(resource.RLIMIT_FSIZE, ({limit}, {limit}))\n"
                      "rgbstream.write(sys.argv[1], np.zeros((3, 4, 4, 3), np.uint8), [1, 2, 3])",
                      path)
    assert done.returncode == 1
    assert "File too large (none of the 3 frames went in)" in done.stderr, done.stderr
    assert path.read_bytes() == kept


def test_appends_that_would_not_continue_the_stream_are_refused(tmp_path):
    path = tmp_path / "stream.rgb"
    frames = pattern(3, 4, 6, seed=11)
    rgbstream.write(path, frames[:2], [1, 2])
    whole = path.read_bytes()
    with pytest.raises(rgbstream.Error, match="frames of 5 x 5 cannot follow the 6 x 4 frames.*"
                                              "none of the 3 frames went in"):
        rgbstream.write(path, np.zeros((3, 5, 5, 3), np.uint8))
    with rgbstream.Writer(path) as writer, pytest.raises(rgbstream.Error,
                                                         match="the frame was not appended"):
        writer.write(np.zeros((4, 4, 3), np.uint8))
    assert path.read_bytes() == whole

    # What an interrupted append leaves: a partial frame at the end.
    path.write_bytes(whole + frame_bytes(frames[2], 3)[:300])
    with pytest.raises(rgbstream.Error, match="ends inside a frame .300 bytes.*cut_partial=True"):
        rgbstream.write(path, frames[2], [3])
    assert len(path.read_bytes()) == len(whole) + 300
    assert rgbstream.write(path, frames[2], [3], cut_partial=True) == 1
    assert path.read_bytes() == stream_bytes(frames, [1, 2, 3])
