# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""Frame streams of SGI RGB pictures with millisecond stamps, as numpy arrays.

    images, stamps = rgbstream.read(path)        # (F, H, W, 3) uint8, (F,) int32
    with rgbstream.open(path) as reader:         # a file or a FIFO
        for frame in reader:                     # frame.image, frame.stamp, frame.index
            ...
    rgbstream.write(path, images, stamps=None)   # appends

Images are top row first (numpy, PIL and OpenCV order). RGBA streams read as
RGB; pass alpha=True to read() or Reader.read() for (..., 4) arrays with the
alpha plane (opaque 255 where the stream has none).
"""
import operator
import os
import warnings
from typing import NamedTuple

import numpy as np

from . import _rgbstream
from ._rgbstream import Error, get_time

__all__ = ["Error", "StrayBytesWarning", "Frame", "Reader", "Writer", "read", "open", "write",
           "to_dask", "get_time", "library_version"]

Error.__doc__ = ("A damaged or foreign stream; the message is the library's reason. "
                 "A subclass of ValueError.")
Error.__module__ = __name__

_MAX_SIDE = 65535


class StrayBytesWarning(UserWarning):
    """Bytes after the last whole frame (a cut-off stream, or an append in progress)."""


class Frame(NamedTuple):
    image: np.ndarray  # (height, width, 3) uint8, top row first; (..., 4) with alpha
    stamp: int  # milliseconds within the library's 10,000-second cycle
    index: int  # the frame's number in the stream, from 0


def library_version():
    """The version of the rgb library the extension was built with."""
    return _rgbstream.library_version()


def _path(path):
    return os.fsencode(os.fspath(path))


def _warn_stray(path, stray, frames, stacklevel):
    warnings.warn(f"{os.fspath(path)}: {stray} stray bytes after the last whole frame "
                  f"(frame {frames - 1}) ignored", StrayBytesWarning, stacklevel=stacklevel + 1)


def _warn_cut(path, frames, stacklevel):
    warnings.warn(f"{os.fspath(path)}: the stream ended inside frame {frames}; "
                  "its bytes were ignored", StrayBytesWarning, stacklevel=stacklevel + 1)


class Reader:
    """A stream open for reading: random access on files, frames in order on FIFOs.

    Iterating holds one frame at a time. On a FIFO, open() waits for a writer
    and the first frame's header, as reading the stream's size needs it.
    """

    def __init__(self, path):
        self._name = os.fspath(path)
        self._r = _rgbstream.Reader(_path(path))
        try:
            self._shape = self._r.info()
        except BaseException:
            self._r.close()
            raise

    def _info(self):
        if self._shape is None:
            self._shape = self._r.info()
        return self._shape or (0, 0, 0)

    @property
    def width(self):
        return self._info()[0]

    @property
    def height(self):
        return self._info()[1]

    @property
    def planes(self):
        """3 for RGB streams, 4 for RGBA ones (0 for an empty stream)."""
        return self._info()[2]

    @property
    def seekable(self):
        return self._r.seekable

    def __len__(self):
        if not self._r.seekable:
            raise TypeError(f"{self._name}: a FIFO has no length")
        return self._r.count()[0]

    def read(self, index, alpha=False):
        """Frame `index` (negative counts from the end) of a file."""
        if not self._r.seekable:
            raise TypeError(f"{self._name}: a FIFO has no random access")
        index = operator.index(index)
        frames = len(self)
        if index < 0:
            index += frames
        if not 0 <= index < frames:
            raise IndexError(f"{self._name}: frame index out of range ({frames} frames)")
        self._r.seek(index)
        status, image, stamp, at = self._r.next(alpha)
        if image is None:
            # Counted a moment ago, gone now: the file was cut short.
            raise Error(f"{self._name}: frame {index}: the stream ends inside a frame")
        return Frame(image, stamp, at)

    def __getitem__(self, index):
        return self.read(index)

    def __iter__(self):
        return self.frames()

    def frames(self, alpha=False):
        """Every frame in order, from the first; on a FIFO, as frames arrive."""
        index = 0
        while True:
            if self._r.seekable:
                # Random access between steps must not move the iteration.
                try:
                    self._r.seek(index)
                except IndexError:
                    return
            status, image, stamp, at = self._r.next(alpha)
            if image is None:
                if status != _rgbstream.END:
                    self._report_cut(index)
                return
            yield Frame(image, stamp, at)
            index += 1

    def _report_cut(self, frames):
        if self._r.seekable:
            stray = self._r.count()[1]
            if stray:
                _warn_stray(self._name, stray, frames, 3)
        else:
            _warn_cut(self._name, frames, 3)

    def close(self):
        self._r.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def open(path):  # noqa: A001 - the package's reading entry point, as in io.open
    """A Reader for a regular file or a FIFO (str or os.PathLike)."""
    return Reader(path)


def read(path, alpha=False):
    """All frames: (images (F, H, W, 3) uint8 top row first, stamps (F,) int32).

    With alpha=True the images are (F, H, W, 4). Stray bytes after the last
    whole frame are ignored with a StrayBytesWarning; damaged streams raise
    Error.
    """
    channels = 4 if alpha else 3
    with Reader(path) as reader:
        r = reader._r
        if r.seekable:
            frames, stray = r.count()
            images, stamps = r.read_frames(0, frames, alpha)
            if stray:
                _warn_stray(path, stray, frames, 2)
            return images, stamps
        # A FIFO has no size to allocate from: frames are kept one by one and
        # moved into the result, each released as soon as it is copied.
        kept, stamps = [], []
        for frame in reader.frames(alpha):
            kept.append(frame.image)
            stamps.append(frame.stamp)
        images = np.empty((len(kept), reader.height, reader.width, channels), np.uint8)
        for n in range(len(kept)):
            images[n] = kept[n]
            kept[n] = None
        return images, np.array(stamps, np.int32).reshape(len(stamps))


def _as_images(images, frames_axis):
    """images as a C-contiguous uint8 array of frames_axis + 3 dimensions, checked."""
    array = np.asarray(images)
    if array.dtype != np.uint8:
        raise TypeError(f"images must be uint8, not {array.dtype}")
    shapes = "(F, H, W, 3) or (H, W, 3)" if frames_axis else "(H, W, 3)"
    if array.ndim == 3 and frames_axis:
        array = array[np.newaxis]
    if array.ndim != 3 + frames_axis:
        raise ValueError(f"images must be {shapes}, not {array.shape}")
    height, width, channels = array.shape[-3:]
    if channels != 3:
        raise ValueError(f"images must have 3 channels (RGB), not {channels}")
    if height > _MAX_SIDE or width > _MAX_SIDE:
        raise ValueError(f"a side of {max(height, width)} exceeds {_MAX_SIDE}")
    return np.ascontiguousarray(array)


def _as_stamps(stamps, frames):
    if stamps is None:
        return None
    array = np.asarray(stamps)
    if array.ndim == 0:
        array = array.reshape(1)
    if array.dtype.kind not in "iu":
        raise TypeError(f"stamps must be integers, not {array.dtype}")
    if array.shape != (frames,):
        raise ValueError(f"{array.size} stamps for {frames} frames")
    info = np.iinfo(np.int32)
    if array.size and (array.min() < info.min or array.max() > info.max):
        raise ValueError("stamps must fit in 32 bits")
    return np.ascontiguousarray(array, np.int32)


def _as_stamp(stamp):
    if stamp is None:
        return None
    return _as_stamps(operator.index(stamp), 1)


class Writer:
    """A stream open for appending (created if missing); frames go out one by one.

    Each frame is appended under the library's lock and undone if it fails.
    Closing raises OSError if the final close fails.
    """

    def __init__(self, path):
        self._w = _rgbstream.Writer(_path(path))

    def write(self, image, stamp=None):
        """Appends one (H, W, 3) uint8 image, top row first; stamp None takes get_time()."""
        image = _as_images(image, 0)
        self._w.put(image[np.newaxis], _as_stamp(stamp))

    def close(self):
        self._w.close()

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is None:
            self.close()
            return
        try:
            self.close()
        except OSError:
            pass  # the exception already on its way says more


def write(path, images, stamps=None):
    """Appends images ((F, H, W, 3) or (H, W, 3) uint8, top row first) to path.

    stamps: one integer per frame, or None for the library's clock at each
    frame. Everything is checked before the first frame goes out, so bad
    arguments append nothing. Returns the number of frames written; raises
    OSError (and reports nothing written) if a write or the close fails.
    """
    array = _as_images(images, 1)
    times = _as_stamps(stamps, array.shape[0])
    with Writer(path) as writer:
        written = writer._w.put(array, times)
    return written


def _read_chunk(path, start, stop, height, width, alpha):
    """Frames start .. stop - 1 of one file; a task of to_dask's graph."""
    reader = _rgbstream.Reader(_path(path))
    try:
        images, _ = reader.read_frames(start, stop, alpha)
    finally:
        reader.close()
    if images.shape[1:3] != (height, width):
        raise Error(f"{path}: frames are {images.shape[2]} x {images.shape[1]}, "
                    f"not {width} x {height} as when the array was built")
    return images


def to_dask(paths, frames_per_chunk=None, alpha=False):
    """A lazy dask array of every frame of the files, in order: (F, H, W, 3).

    paths: one path or a sequence of them; all frames must share one size.
    Building the array only counts frames (headers and sizes, no pixels).
    Each task names a file and a range of frames and opens the file itself,
    so the graph runs on worker processes (dask.distributed). Chunks hold
    frames_per_chunk frames (default: about 64 MiB) and never span files.
    """
    import dask.array as da

    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    channels = 4 if alpha else 3
    files = []
    shape = None
    for path in paths:
        name = os.path.abspath(os.fspath(path))
        with Reader(name) as reader:
            if not reader.seekable:
                raise TypeError(f"{name}: a FIFO has no random access")
            frames = len(reader)
            if frames == 0:
                continue
            size = (reader.height, reader.width)
        if shape is None:
            shape = size
        elif size != shape:
            raise ValueError(f"{name}: frames are {size[1]} x {size[0]}, "
                             f"others {shape[1]} x {shape[0]}")
        files.append((name, frames))
    height, width = shape or (0, 0)
    if frames_per_chunk is None:
        frame_bytes = max(1, height * width * channels)
        frames_per_chunk = max(1, (64 << 20) // frame_bytes)
    if frames_per_chunk < 1:
        raise ValueError("frames_per_chunk must be at least 1")

    token = _dask_token(files, frames_per_chunk, alpha)
    name = f"rgbstream-{token}"
    graph, chunks = {}, []
    for path, frames in files:
        for start in range(0, frames, frames_per_chunk):
            stop = min(frames, start + frames_per_chunk)
            graph[(name, len(chunks), 0, 0, 0)] = (_read_chunk, path, start, stop, height, width,
                                                   alpha)
            chunks.append(stop - start)
    if not chunks:
        return da.zeros((0, height, width, channels), dtype=np.uint8)
    return da.Array(graph, name, ((*chunks,), (height,), (width,), (channels,)), dtype=np.uint8)


def _dask_token(files, frames_per_chunk, alpha):
    from dask.base import tokenize

    stats = []
    for path, frames in files:
        st = os.stat(path)
        stats.append((path, frames, st.st_mtime_ns, st.st_size))
    return tokenize(stats, frames_per_chunk, alpha)
