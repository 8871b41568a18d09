# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""Many recordings as one lazy array: dask (to_dask) and xarray (open_dataarray).

Chunking. A chunk is a run of whole frames of one file, so that a
reduction per frame (a mean, a histogram) never combines pieces of a
frame and every task's result is small, and a task opens its file itself
(the graph pickles to worker processes). Its size is dask's own
array.chunk-size setting (128 MiB unless configured), rounded down to
whole frames: a task then reads and reduces for about a tenth of a second,
long enough that the scheduler's round trip per task (a millisecond on an
idle machine, far more on a busy one, and dask 2022.12 and later hand a
worker its next task only when one ends) costs little, while 2.5 GB still
gives some twenty tasks for two workers to share evenly. Measured with
bench/python_cluster.py on 2.5 GB and a 2-worker LocalCluster: 128 MiB
chunks took 0.71 x the plain loop, 24 MiB ones 0.98 x; with other builds
loading the machine, 24 MiB took 1.16 x, 64 to 256 MiB 0.72 to 0.81 x.
"""
import glob
import os

import numpy as np

from . import _rgbstream
from ._errors import error
from ._reader import Reader, _path

_GLOB_CHARACTERS = "*?["
_CHANNEL_NAMES = ("R", "G", "B", "A")


def _paths_of(paths):
    """A list of names from one path, a glob pattern, or a sequence of paths."""
    if isinstance(paths, (str, bytes, os.PathLike)):
        name = os.fsdecode(os.fspath(paths))
        if any(c in name for c in _GLOB_CHARACTERS) and not os.path.exists(name):
            found = sorted(glob.glob(name))
            if not found:
                raise FileNotFoundError(f"{name}: no file matches")
            return found
        return [name]
    return [os.fsdecode(os.fspath(path)) for path in paths]


def _recordings(paths, with_stamps):
    """[(absolute name, frames, stamps or None)] of the non-empty files, and (H, W)."""
    files, shape = [], None
    for path in _paths_of(paths):
        name = os.path.abspath(path)
        with Reader(name) as reader:
            if not reader.seekable:
                raise TypeError(f"{name}: a FIFO has no random access")
            frames = len(reader)
            if frames == 0:
                continue
            size = (reader.height, reader.width)
            stamps = reader.stamps[:frames] if with_stamps else None
        if shape is None:
            shape = size
        elif size != shape:
            raise ValueError(f"{name}: frames are {size[1]} x {size[0]}, "
                             f"others {shape[1]} x {shape[0]}")
        files.append((name, frames, stamps))
    return files, shape or (0, 0)


def _read_chunk(path, start, stop, height, width, alpha):
    """Frames start .. stop - 1 of one file; a task of the graph."""
    reader = _rgbstream.Reader(_path(path))
    try:
        images, _, _ = reader.read_frames(start, stop - start, 1, alpha, False)
    finally:
        reader.close()
    if images.shape[1:3] != (height, width):
        raise error(f"{path}: frames are {images.shape[2]} x {images.shape[1]}, "
                    f"not {width} x {height} as when the array was built")
    return images


def _frames_per_chunk(height, width, channels):
    import dask
    from dask.utils import parse_bytes

    chunk_bytes = parse_bytes(dask.config.get("array.chunk-size"))
    return max(1, chunk_bytes // max(1, height * width * channels))


def _dask_array(files, shape, frames_per_chunk, alpha):
    import dask.array as da
    from dask.base import tokenize

    height, width = shape
    channels = 4 if alpha else 3
    if frames_per_chunk is None:
        frames_per_chunk = _frames_per_chunk(height, width, channels)
    if frames_per_chunk < 1:
        raise ValueError("frames_per_chunk must be at least 1")
    # The token changes with the files' contents as far as their size and
    # time tell, so a recording that grew is never taken from a cache.
    stats = [(path, frames, os.stat(path).st_mtime_ns, os.stat(path).st_size)
             for path, frames, _ in files]
    name = "rgbstream-" + tokenize(stats, frames_per_chunk, alpha)
    graph, chunks = {}, []
    for path, frames, _ in files:
        for start in range(0, frames, frames_per_chunk):
            stop = min(frames, start + frames_per_chunk)
            graph[(name, len(chunks), 0, 0, 0)] = (_read_chunk, path, start, stop, height, width,
                                                   alpha)
            chunks.append(stop - start)
    if not chunks:
        return da.zeros((0, height, width, channels), dtype=np.uint8)
    return da.Array(graph, name, ((*chunks,), (height,), (width,), (channels,)), dtype=np.uint8)


def to_dask(paths, frames_per_chunk=None, alpha=False):
    """A lazy dask array of every frame of the files, in order: (F, H, W, 3) uint8.

    paths: one path, a glob pattern ("rec/*.rgb", sorted by name) or a
    sequence of paths; all frames must share one size. Building the array
    only counts frames (headers and sizes, no pixels). Each task names a
    file and a range of frames and opens the file itself, so the graph runs
    on worker processes (dask.distributed). Chunks are runs of whole frames
    of one file, frames_per_chunk of them. The default fits dask's
    array.chunk-size (128 MiB unless configured): a task long enough that
    the scheduler's round trip per task costs little, short enough that two
    workers share a few GB evenly; a per-frame mean of 2.5 GB on a 2-worker
    LocalCluster took 0.71 x the plain loop (24 MiB chunks: 0.98 x).
    """
    files, shape = _recordings(paths, with_stamps=False)
    return _dask_array(files, shape, frames_per_chunk, alpha)


def open_dataarray(paths, frames_per_chunk=None, alpha=False):
    """The recordings as one lazy xarray.DataArray, dims ("time", "y", "x", "channel").

    Backed by to_dask()'s array (the same paths, chunks and alpha). Coordinates:
    time, a timedelta64[ms] on the continuous timeline of all the files'
    stamps taken as one stream (Reader.times); stamp, the raw int32 stamps;
    channel, "R", "G", "B" (and "A"). The headers are read to build it, no
    pixels. attrs["files"] lists the files with frames, in order.

        rec = rgbstream.open_dataarray("rec/*.rgb")
        rec.sel(time=slice("10s", "20s"), channel="G").mean(("y", "x")).compute()

    Selections by time are pandas' label slices: both ends included, and a
    string end covers its whole last unit ("20s" runs to 20.999 s).
    """
    import xarray as xr

    files, shape = _recordings(paths, with_stamps=True)
    data = _dask_array(files, shape, frames_per_chunk, alpha)
    stamps = np.concatenate([np.empty(0, np.int32)] + [s for _, _, s in files])
    timeline = _rgbstream.Timeline()
    timeline.extend(stamps)
    channels = data.shape[3]
    coords = {
        "time": timeline.times().astype("timedelta64[ms]"),
        "stamp": ("time", stamps),
        "channel": list(_CHANNEL_NAMES[:channels]),
    }
    return xr.DataArray(data, dims=("time", "y", "x", "channel"), coords=coords, name="pixels",
                        attrs={"files": [path for path, _, _ in files]})
