# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
import threading
import time
from pathlib import Path

import numpy as np
import pytest

import rgbstream
from conftest import frame_bytes, imagemagick_frame, make_fifo, pattern, stream_bytes


def test_read_gives_top_row_first_like_imagemagick(tmp_path):
    # 3 x 2 by hand: the top-left pixel red, the bottom-right one blue.
    first = np.zeros((2, 3, 3), np.uint8)
    first[0, 0] = (255, 0, 0)
    first[1, 2] = (0, 0, 255)
    second = pattern(1, 2, 3)[0]
    path = tmp_path / "two.rgb"
    path.write_bytes(stream_bytes([first, second], [40, 9_999_999]))

    images, stamps = rgbstream.read(path)

    assert images.dtype == np.uint8 and images.shape == (2, 2, 3, 3)
    assert images.flags.c_contiguous
    assert stamps.dtype == np.int32 and stamps.tolist() == [40, 9_999_999]
    assert images[0, 0, 0].tolist() == [255, 0, 0] and images[0, 1, 2].tolist() == [0, 0, 255]
    np.testing.assert_array_equal(images[1], second)
    for n in range(2):
        np.testing.assert_array_equal(images[n], imagemagick_frame(path, n))


def test_reader_random_access_and_iteration(tmp_path):
    frames = pattern(5, 4, 6, seed=1)
    path = tmp_path / "five.rgb"
    path.write_bytes(stream_bytes(frames, [0, 10, 20, 30, 40]))

    with rgbstream.open(str(path)) as reader:
        assert (reader.width, reader.height, reader.planes, len(reader)) == (6, 4, 3, 5)
        last = reader[-1]
        assert (last.stamp, last.index) == (40, 4)
        np.testing.assert_array_equal(last.image, frames[4])
        assert reader[-5].index == 0
        for bad in (5, -6):
            with pytest.raises(IndexError):
                reader[bad]
        seen = []
        for frame in reader:
            # Random access between steps must not move the iteration.
            assert reader[0].index == 0
            np.testing.assert_array_equal(frame.image, frames[frame.index])
            seen.append((frame.index, frame.stamp))
        assert seen == [(0, 0), (1, 10), (2, 20), (3, 30), (4, 40)]


def test_rgba_gives_rgb_or_alpha_on_request(tmp_path):
    rgba = pattern(2, 3, 4, channels=4, seed=2)
    path = tmp_path / "rgba.rgb"
    path.write_bytes(stream_bytes(rgba, [1, 2]))

    images, _ = rgbstream.read(path)
    np.testing.assert_array_equal(images, rgba[..., :3])
    with_alpha, stamps = rgbstream.read(path, alpha=True)
    assert with_alpha.shape == (2, 3, 4, 4) and stamps.tolist() == [1, 2]
    np.testing.assert_array_equal(with_alpha, rgba)
    with rgbstream.open(path) as reader:
        assert reader.planes == 4
        np.testing.assert_array_equal(reader.read(-1, alpha=True).image, rgba[1])
        np.testing.assert_array_equal(reader[1].image, rgba[1, ..., :3])

    # An RGB stream read with alpha is opaque.
    plain = tmp_path / "rgb.rgb"
    plain.write_bytes(stream_bytes(rgba[..., :3], [1, 2]))
    opaque, _ = rgbstream.read(plain, alpha=True)
    np.testing.assert_array_equal(opaque[..., :3], rgba[..., :3])
    assert (opaque[..., 3] == 255).all()


@pytest.mark.parametrize("stray", [100, 512 + 7])
def test_stray_bytes_warn_and_keep_whole_frames(tmp_path, stray):
    frames = pattern(2, 5, 5, seed=3)
    path = tmp_path / "stray.rgb"
    # Fewer stray bytes than a header, or a header and part of the pixels.
    path.write_bytes(stream_bytes(frames, [1, 2]) + frame_bytes(frames[0], 3)[:stray])

    with pytest.warns(rgbstream.StrayBytesWarning, match=f"{stray} stray bytes"):
        images, stamps = rgbstream.read(path)
    np.testing.assert_array_equal(images, frames)
    assert stamps.tolist() == [1, 2]
    with rgbstream.open(path) as reader:
        assert len(reader) == 2
        with pytest.warns(rgbstream.StrayBytesWarning, match=f"{stray} stray bytes"):
            assert [frame.index for frame in reader] == [0, 1]


def test_empty_file_has_no_frames(tmp_path):
    path = tmp_path / "empty.rgb"
    path.write_bytes(b"")
    images, stamps = rgbstream.read(path)
    assert images.shape[0] == 0 and stamps.shape == (0,)
    with rgbstream.open(path) as reader:
        assert len(reader) == 0 and list(reader) == []


def test_fifo_frames_arrive_one_by_one(tmp_path, watchdog):
    # The producer is a thread of this process: it only runs while the
    # reader waits inside the library if the GIL is released there.
    path = make_fifo(tmp_path)
    frames = pattern(3, 7, 9, seed=5)
    delivered = [threading.Event() for _ in frames]
    failures = []

    def produce():
        try:
            with open(path, "wb", buffering=0) as fifo:
                for n, image in enumerate(frames):
                    fifo.write(frame_bytes(image, 100 + n))
                    # The next frame goes out only after this one was yielded
                    # and the reader has had time to wait inside the library.
                    if not delivered[n].wait(30):
                        failures.append(f"frame {n} was never yielded")
                        return
                    time.sleep(0.2)
        except OSError as error:
            failures.append(error)

    producer = threading.Thread(target=produce, daemon=True)
    producer.start()
    with rgbstream.open(path) as reader:
        assert (reader.width, reader.height) == (9, 7)
        with pytest.raises(TypeError):
            len(reader)
        with pytest.raises(TypeError):
            reader[0]
        for frame in reader:
            np.testing.assert_array_equal(frame.image, frames[frame.index])
            assert frame.stamp == 100 + frame.index
            delivered[frame.index].set()
    producer.join(30)
    assert not producer.is_alive() and not failures
    assert all(event.is_set() for event in delivered)


def test_read_whole_fifo_with_cut_last_frame(tmp_path, watchdog):
    path = make_fifo(tmp_path)
    frames = pattern(2, 3, 5, seed=6)
    data = stream_bytes(frames, [7, 8]) + frame_bytes(frames[0], 9)[:530]

    def produce():
        with open(path, "wb") as fifo:
            fifo.write(data)

    producer = threading.Thread(target=produce, daemon=True)
    producer.start()
    with pytest.warns(rgbstream.StrayBytesWarning, match="ends inside frame 2"):
        images, stamps = rgbstream.read(Path(path))
    producer.join(30)
    assert images.shape == (2, 3, 5, 3) and images.flags.c_contiguous
    np.testing.assert_array_equal(images, frames)
    assert stamps.dtype == np.int32 and stamps.tolist() == [7, 8]


def test_stream_of_large_frames_reads_whole(tmp_path):
    # Above 64 MiB in all, so the result takes the mapped-memory path.
    base = (np.arange(2048 * 4096 * 3, dtype=np.uint32) % 251).astype(np.uint8)
    frames = np.stack([np.roll(base, n).reshape(2048, 4096, 3) for n in range(3)])
    path = tmp_path / "large.rgb"
    path.write_bytes(stream_bytes(frames, [1, 2, 3]))
    images, stamps = rgbstream.read(path)
    assert images.nbytes > 64 << 20 and stamps.tolist() == [1, 2, 3]
    np.testing.assert_array_equal(images, frames)


SLICES = [slice(None), slice(2, 8), slice(None, None, 3), slice(None, None, -1), slice(-2, None, -3),
          slice(8, 2, -2), slice(5, 5), slice(100, None), slice(-100, 3)]


@pytest.fixture(scope="module")
def ten_frames(tmp_path_factory):
    """Ten RGBA frames of 5 x 7 and their stamps, in a file."""
    frames = pattern(10, 5, 7, channels=4, seed=10)
    stamps = np.arange(10, dtype=np.int32) * 40 + 3
    path = tmp_path_factory.mktemp("slices") / "ten.rgb"
    path.write_bytes(stream_bytes(frames, stamps))
    return path, frames, stamps


@pytest.mark.parametrize("selection", SLICES, ids=str)
def test_slices_give_the_frames_numpy_would(ten_frames, selection):
    path, frames, stamps = ten_frames
    with rgbstream.open(path) as reader:
        images, got = reader[selection]
        with_alpha, _ = reader.read_frames(selection.start, selection.stop, selection.step,
                                           alpha=True)
    np.testing.assert_array_equal(images, frames[selection][..., :3])
    np.testing.assert_array_equal(with_alpha, frames[selection])
    np.testing.assert_array_equal(got, stamps[selection])
    assert images.flags.c_contiguous and got.dtype == np.int32
    images, got = rgbstream.read(path, selection.start, selection.stop, selection.step)
    np.testing.assert_array_equal(images, frames[selection][..., :3])
    np.testing.assert_array_equal(got, stamps[selection])


def test_bad_selections_are_refused(ten_frames):
    path = ten_frames[0]
    with pytest.raises(ValueError, match="step"):
        rgbstream.read(path, step=0)
    with pytest.raises(TypeError, match="alpha is a keyword"):
        rgbstream.read(path, True)
    with pytest.raises(ValueError, match="on_error"):
        rgbstream.read(path, on_error="skip")


def _feed(path, data):
    """Writes data into a FIFO from a thread; a reader that leaves early is no failure."""
    def produce():
        try:
            path.write_bytes(data)
        except BrokenPipeError:
            pass

    producer = threading.Thread(target=produce, daemon=True)
    producer.start()
    return producer


def test_fifo_reads_a_selection_in_order(tmp_path, watchdog):
    path = make_fifo(tmp_path)
    frames = pattern(6, 3, 4, seed=11)
    producer = _feed(path, stream_bytes(frames, range(6)))
    images, stamps = rgbstream.read(path, 1, 5, 2)
    producer.join(30)
    np.testing.assert_array_equal(images, frames[1:5:2])
    assert stamps.tolist() == [1, 3]
    producer = _feed(path, stream_bytes(frames, range(6)))
    with pytest.raises(TypeError, match="FIFO is read in order"):
        rgbstream.read(path, step=-1)
    producer.join(30)
