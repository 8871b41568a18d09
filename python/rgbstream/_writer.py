# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""Writing: the Writer and write(), with their arguments checked before anything goes out."""
import operator

import numpy as np

from . import _rgbstream
from ._reader import _path

_MAX_SIDE = 65535
_INT32 = np.iinfo(np.int32)


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
    # An empty list is float64 to numpy; no stamps is no stamps.
    if array.dtype.kind not in "iu" and array.size:
        raise TypeError(f"stamps must be integers, not {array.dtype}")
    if array.shape != (frames,):
        raise ValueError(f"{array.size} stamps for {frames} frames")
    if array.size and (array.min() < _INT32.min or array.max() > _INT32.max):
        raise ValueError("stamps must fit in 32 bits")
    return np.ascontiguousarray(array, np.int32)


def _as_stamp(stamp):
    if stamp is None:
        return None
    if isinstance(stamp, bool):
        raise TypeError("a stamp must be an integer, not bool")
    return _as_stamps(operator.index(stamp), 1)


class Writer:
    """A stream open for appending (created if missing); frames go out one by one.

    Each frame is one append under the library's lock, undone if it fails.
    An append must continue the stream in the file: frames of another size,
    or a file that ends inside a frame (what an interrupted append leaves),
    are refused with Error and nothing is written; cut_partial=True cuts
    such a partial frame off first instead. If another program replaces the
    file by renaming a new one over it (locking the old file around the
    rename), later frames go to the new file. Closing raises OSError if the
    final close fails.
    """

    def __init__(self, path, *, cut_partial=False):
        self._w = _rgbstream.Writer(_path(path))
        self._cut_partial = bool(cut_partial)

    @property
    def closed(self):
        return self._w.closed

    def write(self, image, stamp=None):
        """Appends one (H, W, 3) uint8 image, top row first; stamp None takes get_time()."""
        image = _as_images(image, 0)
        self._w.put(image[np.newaxis], _as_stamp(stamp), self._cut_partial)

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


def write(path, images, stamps=None, *, cut_partial=False):
    """Appends images ((F, H, W, 3) or (H, W, 3) uint8, top row first) to path.

    stamps: one integer per frame, or None for the library's clock now (the
    same stamp for every frame). All frames go in as one append, or none:
    arguments are checked before anything goes out, a failure (a full
    disk, a frame size unlike the file's, a file ending inside a frame)
    undoes the whole append and its message says that no frame went in.
    cut_partial as for Writer. Returns the number of frames written (0 for
    an empty array).
    """
    array = _as_images(images, 1)
    times = _as_stamps(stamps, array.shape[0])
    writer = _rgbstream.Writer(_path(path))
    try:
        written = writer.put(array, times, bool(cut_partial))
    except BaseException:
        try:
            writer.close()
        except OSError:
            pass  # the append's own failure says more
        raise
    writer.close()
    return written
