# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""Reading: the Reader, read() and stamps()."""
import collections
import io
import itertools
import mmap
import operator
import os
import threading

import numpy as np

from . import _rgbstream
from ._errors import Error, error, name_of, warn_damage, warn_end, warn_stray
from ._time import ceil_ms, floor_ms

_ON_ERROR = ("raise", "stop")
_RGB, _RGBA = 3, 4


# collections' namedtuple rather than typing's: the typing module costs a
# fifth of what `import rgbstream` adds to numpy's import, and nothing else
# the package imports needs it. The annotations are what typing would give.
Frame = collections.namedtuple("Frame", ("image", "stamp", "index"), module="rgbstream")
Frame.__doc__ = """One frame: image (H, W, 3) uint8 top row first, or (H, W, 4) with alpha;
stamp, milliseconds on the 10,000-second cycle; index, from 0 in the stream."""
Frame.__annotations__ = {"image": np.ndarray, "stamp": int, "index": int}


def _path(path):
    return os.fsencode(os.fspath(path))


def _check_on_error(on_error):
    if on_error not in _ON_ERROR:
        raise ValueError(f"on_error must be 'raise' or 'stop', not {on_error!r}")


def _slice_bound(value, what):
    if value is None:
        return None
    if isinstance(value, bool):
        raise TypeError(f"{what} must be an integer or None, not bool (alpha is a keyword)")
    return operator.index(value)


def _read_only(array):
    array.flags.writeable = False
    return array


class Reader:
    """A stream open for reading: random access on files, frames in order on FIFOs.

    reader[i]             Frame i (negative counts from the end)
    reader[a:b:c]         (images (F, H, W, 3) uint8, stamps (F,) int32), like read()
    len(reader)           whole frames in the file
    reader.stamps         (F,) int32, from the headers alone
    reader.times          (F,) int64 milliseconds on the continuous timeline
    reader.at(t)          the Frame shown at time t
    reader.between(t0, t1)   the frames of [t0, t1), like read()
    reader.planar()       a read-only (F, planes, H, W) view of the file, no copy

    Iterating holds one frame at a time. On a FIFO, opening waits for a
    writer and the first frame's header; only iteration and read_frames()
    with a non-negative start and stop and a positive step work there.
    """

    def __init__(self, path):
        self._name = name_of(path)
        self._r = _rgbstream.Reader(_path(path))
        try:
            self._shape = self._r.info()
            self._identity = self._file_identity() if self._r.seekable else None
        except BaseException:
            self._r.close()
            raise
        self._stamps = np.empty(0, np.int32)
        self._timeline = _rgbstream.Timeline()
        self._times = None
        self._stamps_lock = threading.Lock()  # threads sharing the Reader extend them once

    def __repr__(self):
        state = "closed" if self._r.closed else ("file" if self._r.seekable else "FIFO")
        return f"<rgbstream.Reader {self._name!r} ({state})>"

    def _file_identity(self):
        st = os.stat(self._name)
        return st.st_dev, st.st_ino

    def _info(self):
        if self._shape is None:
            self._shape = self._r.info()
        return self._shape or (0, 0, 0)

    @property
    def name(self):
        """The path the Reader was opened with, as a str."""
        return self._name

    @property
    def width(self):
        return self._info()[0]

    @property
    def height(self):
        return self._info()[1]

    @property
    def planes(self):
        """3 for RGB streams, 4 for RGBA ones (0 while the stream has no frame)."""
        return self._info()[2]

    @property
    def seekable(self):
        """True for a regular file, False for a FIFO."""
        return self._r.seekable

    @property
    def closed(self):
        return self._r.closed

    def _need_file(self, what):
        if not self._r.seekable:
            raise TypeError(f"{self._name}: a FIFO has no random access ({what})")

    def __len__(self):
        self._need_file("len()")
        return self._r.count()[0]

    # ---- frames by index -------------------------------------------------

    def read(self, index, alpha=False):
        """Frame `index` (negative counts from the end) of a file, as a Frame."""
        self._need_file("read(index)")
        index = operator.index(index)
        frames = len(self)
        if index < 0:
            index += frames
        if not 0 <= index < frames:
            raise IndexError(f"{self._name}: frame index out of range ({frames} frames)")
        image, stamp = self._r.frame(index, alpha)
        return Frame(image, stamp, index)

    def __getitem__(self, key):
        if isinstance(key, slice):
            return self._read_frames(key.start, key.stop, key.step, False, "raise", 2)
        return self.read(key)

    def read_frames(self, start=None, stop=None, step=None, *, alpha=False, on_error="raise"):
        """Frames start:stop:step, as in slicing: (images, stamps).

        images is (F, H, W, 3) uint8, C-contiguous, top row first ((F, H, W, 4)
        with alpha=True); stamps is (F,) int32. Steps may be negative. Each
        frame is read straight into its place in the one array.

        on_error="stop" returns the frames read before a damaged one, with a
        DamageWarning naming the frame and the cause, instead of raising.
        Stray bytes after the last whole frame give a StrayBytesWarning when
        the selection reaches the last frame.
        """
        return self._read_frames(start, stop, step, alpha, on_error, 2)

    # stacklevel: what a warning issued by the caller itself would pass.
    def _read_frames(self, start, stop, step, alpha, on_error, stacklevel):
        _check_on_error(on_error)
        bounds = (_slice_bound(start, "start"), _slice_bound(stop, "stop"),
                  _slice_bound(step, "step"))
        if bounds[2] == 0:
            raise ValueError("step must not be zero")
        if not self._r.seekable:
            return self._read_in_order(*bounds, alpha, on_error, stacklevel + 1)
        frames, stray = self._r.count()
        first, last, step = slice(*bounds).indices(frames)
        selected = range(first, last, step)
        images, stamps, failure = self._r.read_frames(first, len(selected), step, alpha,
                                                      on_error == "stop")
        if failure is not None:
            warn_damage(f"{self._name}: {failure[0]}", len(stamps), stacklevel + 1)
        elif stray and (frames == 0 or frames - 1 in selected):
            warn_stray(self._name, stray, frames, self._size(), stacklevel + 1)
        return images, stamps

    def _size(self):
        """(width, height) of the frames, or None while there is no whole first header."""
        if self._shape is None:
            self._shape = self._r.info()
        return None if self._shape is None else self._shape[:2]

    def _read_in_order(self, start, stop, step, alpha, on_error, stacklevel):
        # A FIFO's frames are kept one by one and moved into the result,
        # each released as soon as it is copied.
        if (start or 0) < 0 or (stop is not None and stop < 0) or (step or 1) < 0:
            raise TypeError(f"{self._name}: a FIFO is read in order: start and stop must not "
                            "be negative, nor step")
        kept, stamps = [], []
        try:
            frames = self._frames_in_order(alpha, stacklevel + 2)
            for frame in itertools.islice(frames, start, stop, step):
                kept.append(frame.image)
                stamps.append(frame.stamp)
        except Error as damage:
            if on_error != "stop":
                raise
            warn_damage(str(damage), len(kept), stacklevel + 1)
        channels = _RGBA if alpha else _RGB
        images = np.empty((len(kept), self.height, self.width, channels), np.uint8)
        for n in range(len(kept)):
            images[n] = kept[n]
            kept[n] = None
        return images, np.array(stamps, np.int32).reshape(len(stamps))

    # ---- iteration -------------------------------------------------------

    def __iter__(self):
        return self.frames()

    def frames(self, alpha=False):
        """Every frame in order, from the first, as Frames; on a FIFO, as frames arrive.

        On a file, frames appended while iterating are included; random
        access between steps does not move the iteration.
        """
        if self._r.seekable:
            return self._frames_of_file(alpha)
        return self._frames_in_order(alpha, 2)

    def _frames_of_file(self, alpha):
        index = 0
        while True:
            # Counted before each frame: a header alone, whatever size it
            # declares, is never read into memory.
            frames, stray = self._r.count()
            if index >= frames:
                if stray:
                    warn_stray(self._name, stray, frames, self._size(), 2)
                return
            image, stamp = self._r.frame(index, alpha)
            yield Frame(image, stamp, index)
            index += 1

    def _frames_in_order(self, alpha, stacklevel):
        while True:
            status, image, stamp, index, words = self._r.next(alpha)
            if image is None:
                if status != _rgbstream.END:
                    warn_end(self._name, words, stacklevel)
                return
            yield Frame(image, stamp, index)

    # ---- stamps and time -------------------------------------------------

    def _refresh_stamps(self):
        """Reads the headers of frames appended since the last call (under _stamps_lock)."""
        self._need_file("stamps")
        frames = self._r.count()[0]
        have = len(self._stamps)
        if frames < have:  # cut short: start again
            self._stamps, self._timeline, have = np.empty(0, np.int32), _rgbstream.Timeline(), 0
        if frames > have:
            added = self._r.stamps(have, frames)
            self._stamps = _read_only(np.concatenate([self._stamps, added]))
            self._timeline.extend(added)
            self._times = None

    @property
    def stamps(self):
        """(F,) int32: every frame's stamp, milliseconds on the 10,000-second cycle.

        Only the headers are read (a 100,000-frame file in a fraction of a
        second), once: later calls read only frames appended since. Read-only.
        """
        with self._stamps_lock:
            self._refresh_stamps()
            return self._stamps

    @property
    def times(self):
        """(F,) int64: every frame's time in milliseconds from the first frame.

        The continuous timeline of the programs of this project: stamps
        unwrapped through the cycle, each forward step added, a step back
        or a repeat adding nothing (so times never decrease). Read-only.
        """
        with self._stamps_lock:
            self._refresh_stamps()
            if self._times is None:
                self._times = _read_only(self._timeline.times())
            return self._times

    def index_at(self, t):
        """The index of the frame shown at time t (the last one whose time is <= t).

        t: milliseconds from the first frame (int or float), a
        datetime.timedelta or a numpy.timedelta64. IndexError before the
        first frame.
        """
        ms = floor_ms(t)
        with self._stamps_lock:
            self._refresh_stamps()
            index, frames = self._timeline.at(ms), len(self._stamps)
        if index < 0:
            what = "before the first frame" if frames else "the stream has no frame"
            raise IndexError(f"{self._name}: no frame is shown at {t!r}: {what}")
        return index

    def at(self, t, alpha=False):
        """The Frame shown at time t (see index_at)."""
        return self.read(self.index_at(t), alpha)

    def indices_between(self, t0, t1):
        """range of the indices of the frames whose time lies in [t0, t1)."""
        start, stop = ceil_ms(t0), ceil_ms(t1)
        with self._stamps_lock:
            self._refresh_stamps()
            first, count = self._timeline.between(start, stop)
        return range(first, first + count)

    def between(self, t0, t1, *, alpha=False, on_error="raise"):
        """The frames whose time lies in [t0, t1), as read_frames: (images, stamps)."""
        selected = self.indices_between(t0, t1)
        return self.read_frames(selected.start, selected.stop, alpha=alpha, on_error=on_error)

    # ---- zero-copy view --------------------------------------------------

    def planar(self):
        """A read-only view of every whole frame's pixels in the file: (F, planes, H, W) uint8.

        Planes are red, green, blue (and alpha), rows top first. The view
        maps the file: nothing is read until an element is touched, and
        only the pages touched are, so view[:, 1, ::4, ::4] of a 100 GB
        recording reads a sixteenth of its green plane. Strides skip the
        headers, and the row stride is negative (the file stores rows
        bottom first); np.ascontiguousarray(view[i]) copies frame i.

        The headers of later frames are not checked (Reader.stamps does,
        and read()): a damaged header shows as pixels. Frames appended
        afterwards are not in the view; a file cut short under it makes
        touching the lost pages fail with SIGBUS, as with any mapping.
        """
        self._need_file("planar()")
        frames = self._r.count()[0]
        if frames == 0:
            width, height, planes = self._info()
            return _read_only(np.empty((0, planes, height, width), np.uint8))
        offset, strides, (planes, height, width) = self._r.planar_layout()
        # By name, as the library's handle is not shared: the name must
        # still lead to the file the Reader opened.
        with io.open(self._name, "rb") as file:
            st = os.fstat(file.fileno())
            if (st.st_dev, st.st_ino) != self._identity:
                raise error(f"{self._name}: the file was replaced since it was opened; "
                            "open it again")
            mapping = mmap.mmap(file.fileno(), frames * strides[0], access=mmap.ACCESS_READ)
        return np.ndarray((frames, planes, height, width), np.uint8, buffer=mapping,
                          offset=offset, strides=strides)

    # ---- closing ---------------------------------------------------------

    def close(self):
        self._r.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def read(path, start=None, stop=None, step=None, *, alpha=False, on_error="raise"):
    """Frames of a file or a FIFO: (images (F, H, W, 3) uint8 top row first, stamps (F,) int32).

    start, stop, step select frames as a slice does (negative steps too; on
    a FIFO start and stop must not be negative, nor step). With alpha=True
    images are (F, H, W, 4). on_error="stop" returns the frames before a
    damaged one with a DamageWarning instead of raising Error. Stray bytes
    after the last whole frame are ignored with a StrayBytesWarning.
    """
    _check_on_error(on_error)
    try:
        reader = Reader(path)
    except Error as damage:
        if on_error != "stop":
            raise
        warn_damage(str(damage), 0, 2)
        channels = _RGBA if alpha else _RGB
        return np.empty((0, 0, 0, channels), np.uint8), np.empty(0, np.int32)
    with reader:
        return reader._read_frames(start, stop, step, alpha, on_error, 2)


def stamps(path):
    """Every frame's stamp of a file, from the headers alone: (F,) int32."""
    with Reader(path) as reader:
        reader._need_file("stamps()")
        return reader._r.stamps(0, len(reader))


def open(path):  # noqa: A001 - the package's reading entry point, as in io.open
    """A Reader for a regular file or a FIFO (str, bytes or os.PathLike)."""
    return Reader(path)
