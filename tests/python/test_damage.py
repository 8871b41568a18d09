# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# Damaged streams, misuse and hostile sizes: the right frame and the
# library's words in every error, the frames before a damage on request,
# empty inputs as empty arrays, and memory only for pixels that arrived.
import errno
import threading

import numpy as np
import pytest

import rgbstream
from conftest import frame_bytes, header_bytes, make_fifo, pattern, run_python, stream_bytes

FRAMES = pattern(8, 4, 6, seed=30)
STAMPS = list(range(100, 900, 100))
# (name, the stream's bytes, the damaged frame, the library's words)
DAMAGES = [
    ("magic at 4", stream_bytes(FRAMES[:4], STAMPS) + frame_bytes(FRAMES[4], 1, magic=475)
     + stream_bytes(FRAMES[5:], STAMPS[5:]), 4, "frame 4: .*wrong magic number: 475"),
    ("size change at 5", stream_bytes(FRAMES[:5], STAMPS)
     + stream_bytes(pattern(3, 6, 4, seed=31), STAMPS[5:]), 5, "frame 5 is 4x6x3, unlike the 6x4x3"),
]


def _raises_at(frame, words, call):
    with pytest.raises(rgbstream.Error, match=words) as caught:
        call()
    assert caught.value.frame == frame and isinstance(caught.value, ValueError)
    return caught.value


@pytest.mark.parametrize("name, data, frame, words", DAMAGES, ids=[d[0] for d in DAMAGES])
def test_every_way_of_reading_names_the_damaged_frame(tmp_path, watchdog, name, data, frame, words):
    path = tmp_path / "damaged.rgb"
    path.write_bytes(data)
    _raises_at(frame, words, lambda: rgbstream.read(path))
    with rgbstream.open(path) as reader:
        _raises_at(frame, words, lambda: list(reader))
        _raises_at(frame, words, lambda: reader[frame])
        _raises_at(frame, words, lambda: reader.stamps)
        np.testing.assert_array_equal(reader[frame - 1].image, FRAMES[frame - 1])
    fifo = make_fifo(tmp_path)
    producer = threading.Thread(target=lambda: fifo.write_bytes(data), daemon=True)
    producer.start()
    _raises_at(frame, words, lambda: rgbstream.read(fifo))
    producer.join(30)


@pytest.mark.parametrize("name, data, frame, words", DAMAGES, ids=[d[0] for d in DAMAGES])
def test_stop_returns_the_frames_before_the_damage(tmp_path, name, data, frame, words):
    path = tmp_path / "damaged.rgb"
    path.write_bytes(data)
    with pytest.warns(rgbstream.DamageWarning, match=f"{words}.*{frame} frames before it"):
        images, stamps = rgbstream.read(path, on_error="stop")
    np.testing.assert_array_equal(images, FRAMES[:frame])
    assert stamps.tolist() == STAMPS[:frame]
    # Backwards, the selection's frames before the damage are those after it.
    backwards = FRAMES[:frame:-1] if name.startswith("magic") else FRAMES[:0]
    kept = f"{len(backwards)} frames" if len(backwards) else "no frame"
    with pytest.warns(rgbstream.DamageWarning, match=f"{kept} before it"):
        images, _ = rgbstream.read(path, step=-1, on_error="stop")
    np.testing.assert_array_equal(images, backwards)


def test_foreign_and_missing_files(tmp_path):
    foreign = tmp_path / "foreign.ppm"
    foreign.write_bytes(b"P6\n4 4\n255\n" + bytes(600))
    error = _raises_at(0, "wrong magic number", lambda: rgbstream.read(foreign))
    assert error.status is not None
    with pytest.warns(rgbstream.DamageWarning, match="no frame before it"):
        images, stamps = rgbstream.read(foreign, on_error="stop")
    assert images.shape[0] == 0 and stamps.shape == (0,)
    with pytest.raises(FileNotFoundError) as missing:
        rgbstream.read(tmp_path / "missing.rgb")
    assert missing.value.errno == errno.ENOENT
    assert missing.value.filename == str(tmp_path / "missing.rgb")


# (file contents, the warning, the frames' (height, width))
SHORT_FILES = [
    (b"", None, (0, 0)),
    (header_bytes(6, 4, 3, 0)[:100], "100 bytes, less than one frame header", (0, 0)),
    (header_bytes(20000, 20000, 3, 0), "512 bytes, less than one whole 20000 x 20000 frame",
     (20000, 20000)),
]


@pytest.mark.parametrize("data, warning, size", SHORT_FILES, ids=["empty", "cut header", "header"])
def test_files_without_a_whole_frame_read_as_empty_arrays(tmp_path, recwarn, data, warning, size):
    path = tmp_path / "short.rgb"
    path.write_bytes(data)
    images, stamps = rgbstream.read(path, alpha=True)
    assert images.shape == (0, *size, 4) and images.dtype == np.uint8
    assert stamps.shape == (0,) and stamps.dtype == np.int32
    with rgbstream.open(path) as reader:
        assert len(reader) == 0 and list(reader) == [] and reader.stamps.shape == (0,)
        assert reader.planar().shape[0] == 0
        with pytest.raises(IndexError):
            reader[0]
    messages = [str(w.message) for w in recwarn.list]
    assert all(warning in m for m in messages) if warning else not messages
    assert len(messages) == (2 if warning else 0)


def test_misuse_has_clear_messages(tmp_path):
    path = tmp_path / "out.rgb"
    assert rgbstream.write(path, np.zeros((0, 4, 4, 3), np.uint8), []) == 0
    with rgbstream.Writer(path) as writer:
        writer.write(FRAMES[0], 1)
    with pytest.raises(ValueError, match="Writer is closed"):
        writer.write(FRAMES[0], 2)
    reader = rgbstream.open(path)
    reader.close()
    with pytest.raises(ValueError, match="Reader is closed"):
        reader[0]
    with pytest.raises(TypeError, match="not bool"):
        rgbstream.open(path).at(True)


# Each runs in a fresh interpreter; the growth of its peak resident memory
# is printed. A header declaring 20000 x 20000 (1.2 GB a frame) is followed
# by 1 MB of pixels at most.
MEMORY_CASES = {
    "read": "rgbstream.read(path)",
    "read alpha": "rgbstream.read(path, alpha=True)",
    "frames alpha": "list(rgbstream.open(path).frames(alpha=True))",
    "index": "rgbstream.open(path)[0]",
    "fifo": "feed(); list(rgbstream.open(path))",
    "fifo alpha": "feed(); rgbstream.read(path, alpha=True)",
}
MEMORY_SCRIPT = """
import os, resource, sys, threading, warnings
import rgbstream
path, data = sys.argv[1], open(sys.argv[2], "rb").read()
def feed():
    def produce():
        with open(path, "wb") as fifo:
            fifo.write(data)
    threading.Thread(target=produce, daemon=True).start()
if not os.path.exists(path):
    open(path, "wb").write(data)
else:
    data += bytes(1 << 20)
warnings.simplefilter("ignore")
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
try:
    {}
except IndexError:
    pass
print((resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) // 1024)
"""
MEMORY_LIMIT_MIB = 64


@pytest.mark.parametrize("case", MEMORY_CASES)
def test_a_declared_size_costs_no_memory_before_its_pixels(tmp_path, case):
    header = tmp_path / "header"
    header.write_bytes(header_bytes(20000, 20000, 4, 0))
    path = make_fifo(tmp_path) if case.startswith("fifo") else tmp_path / "big.rgb"
    done = run_python(MEMORY_SCRIPT.format(MEMORY_CASES[case]), path, header)
    assert done.returncode == 0, done.stderr
    assert int(done.stdout) < MEMORY_LIMIT_MIB, f"{case}: grew by {done.stdout.strip()} MiB"
