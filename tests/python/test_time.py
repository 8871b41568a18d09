# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# Stamps from the headers alone, the continuous timeline through the wrap of
# the 10,000-second cycle, and frames selected by time.
import datetime

import numpy as np
import pytest

import rgbstream
from conftest import pattern, stream_bytes

# Across the wrap (9,999,990 -> 30 is +40 ms), then a repeat and a step back
# (each adds nothing), then on from there.
STAMPS = [9_999_950, 9_999_990, 30, 70, 70, 50, 90]
TIMES = [0, 40, 80, 120, 120, 120, 160]
FRAMES = pattern(len(STAMPS), 3, 2, seed=40)


@pytest.fixture
def wrapped(tmp_path):
    path = tmp_path / "wrapped.rgb"
    path.write_bytes(stream_bytes(FRAMES, STAMPS))
    return path


def test_stamps_and_times_through_the_wrap(wrapped):
    assert rgbstream.stamps(wrapped).tolist() == STAMPS
    with rgbstream.open(wrapped) as reader:
        assert reader.stamps.dtype == np.int32 and reader.stamps.tolist() == STAMPS
        assert reader.times.dtype == np.int64 and reader.times.tolist() == TIMES
        with pytest.raises(ValueError):
            reader.times[0] = 5  # a cache, read-only
        # Frames appended later are seen; the older headers are not read again.
        with open(wrapped, "ab") as file:
            file.write(stream_bytes(FRAMES[:1], [9_999_000]))
        assert reader.stamps.tolist() == STAMPS + [9_999_000]
        assert reader.times.tolist() == TIMES + [160]


MS = datetime.timedelta(milliseconds=1)
# (time, the frame shown then)
SHOWN = [(0, 0), (39.9, 0), (40, 1), (119 * MS, 2), (np.timedelta64(120_000, "us"), 5),
         (159.99, 5), (10**12, 6)]


@pytest.mark.parametrize("t, index", SHOWN, ids=repr)
def test_the_frame_shown_at_a_time(wrapped, t, index):
    with rgbstream.open(wrapped) as reader:
        assert reader.index_at(t) == index
        frame = reader.at(t)
    assert frame.index == index and frame.stamp == STAMPS[index]
    np.testing.assert_array_equal(frame.image, FRAMES[index])


# ([t0, t1), the frames in it)
SPANS = [((40, 120), range(1, 3)), ((40.5, 120.5), range(2, 6)), ((0, 0), range(0, 0)),
         ((np.timedelta64(80, "ms"), 161), range(2, 7)), ((121, 40), range(6, 6)),
         ((-5, 1), range(0, 1))]


@pytest.mark.parametrize("times, selected", SPANS, ids=repr)
def test_the_frames_between_two_times(wrapped, times, selected):
    with rgbstream.open(wrapped) as reader:
        assert reader.indices_between(*times) == selected
        images, stamps = reader.between(*times)
    np.testing.assert_array_equal(images, FRAMES[selected.start:selected.stop])
    assert stamps.tolist() == STAMPS[selected.start:selected.stop]


def test_times_before_the_first_frame_or_of_the_wrong_kind(wrapped, tmp_path):
    with rgbstream.open(wrapped) as reader:
        with pytest.raises(IndexError, match="before the first frame"):
            reader.at(-1)
        for bad, error in (("1s", TypeError), (float("nan"), ValueError),
                           (np.timedelta64("NaT"), ValueError)):
            with pytest.raises(error):
                reader.index_at(bad)
    empty = tmp_path / "empty.rgb"
    empty.write_bytes(b"")
    with rgbstream.open(empty) as reader, pytest.raises(IndexError, match="no frame"):
        reader.at(0)
