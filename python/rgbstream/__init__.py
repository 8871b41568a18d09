# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""Frame streams (SGI RGB pictures with millisecond stamps) as numpy arrays.

Reading
    images, stamps = rgbstream.read("rec.rgb")
        images (F, H, W, 3) uint8, C-contiguous, row 0 the top row (numpy,
        PIL and OpenCV order); stamps (F,) int32, milliseconds on the
        library's 10,000-second cycle. read(path, alpha=True) gives
        (F, H, W, 4) with the alpha plane (255 where the stream has none).
    images, stamps = rgbstream.read("rec.rgb", 100, 200)      # frames 100 .. 199
    images, stamps = rgbstream.read("rec.rgb", step=-1)       # all, last first
    with rgbstream.open("rec.rgb") as reader:    # a file or a FIFO
        reader[7]                  # Frame(image (H, W, 3), stamp, index)
        reader[100:200:2]          # (images, stamps), as read()
        len(reader), reader.width, reader.height, reader.planes
        for frame in reader:       # one frame in memory at a time
            ...

Stamps and time
    rgbstream.stamps("rec.rgb")  # (F,) int32 from the headers alone
    reader.stamps                # the same; reader.times: (F,) int64 ms from frame 0
        Times follow the stamps through the wrap of the cycle, as every
        program of this project counts them: a forward step adds its length,
        a step back or a repeated stamp adds nothing.
    reader.at(2500)              # the Frame shown 2.5 s after the first one
    reader.between(10_000, 20_000)   # (images, stamps) of [10 s, 20 s)
        Times are milliseconds, datetime.timedelta or numpy.timedelta64;
        reader.index_at(t) and reader.indices_between(t0, t1) give indices.

Zero-copy views
    view = reader.planar()       # (F, planes, H, W) uint8, read-only, maps the file
    green = view[:, 1]           # one channel of every frame; nothing read yet
    green[::25, ::8, ::8].mean() # reads only the pages it touches

Writing (appends; the file is created if missing)
    rgbstream.write("out.rgb", images, stamps)   # all frames or none
    with rgbstream.Writer("out.rgb") as writer:
        writer.write(image, stamp)               # one frame per append
    Frames must continue the file's stream: another frame size, or a file
    ending inside a frame, is refused (cut_partial=True cuts such a partial
    frame off first). stamps=None takes the library's clock, get_time().

Many files: dask and xarray
    frames = rgbstream.to_dask("rec/*.rgb")      # lazy (F, H, W, 3), chunks of whole frames
    rec = rgbstream.open_dataarray("rec/*.rgb")  # xarray, dims (time, y, x, channel)
    rec.sel(time=slice("10s", "20s"), channel="G").mean(("y", "x"))
        Tasks open the files themselves, so the graphs run on worker
        processes (dask.distributed.LocalCluster) as well as in threads.

Errors and warnings
    Error (a ValueError): a damaged or foreign stream, or a refused append;
        the message names the path, the frame and the library's reason, and
        the attributes frame and status carry them.
    OSError: a missing file, a full disk, a failed close (with the frame).
    read(..., on_error="stop") returns the frames before a damage with a
        DamageWarning instead of raising.
    StrayBytesWarning: bytes after the last whole frame were ignored.
    TypeError: random access on a FIFO. ValueError: a closed Reader or
        Writer, or bad arguments (checked before anything is appended).
    Empty streams and empty inputs give and take empty arrays.

The GIL is released while the library reads or writes; one Reader may be
shared by threads.
"""
from ._errors import DamageWarning, Error, StrayBytesWarning
from ._reader import Frame, Reader, open, read, stamps
from ._rgbstream import get_time
from ._writer import Writer, write

__all__ = ["Error", "StrayBytesWarning", "DamageWarning", "Frame", "Reader", "Writer", "read",
           "stamps", "open", "write", "to_dask", "open_dataarray", "get_time", "library_version"]


_LAZY = {"to_dask": "_dask", "open_dataarray": "_dask"}


def __getattr__(name):
    # The dask and xarray entry points load their module on first use: a
    # program that only reads or writes streams does not pay for it.
    if name in _LAZY:
        import importlib

        value = getattr(importlib.import_module(f".{_LAZY[name]}", __name__), name)
        globals()[name] = value
        return value
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")


def __dir__():
    return sorted(set(globals()) | set(_LAZY))


def library_version():
    """The version of the rgb library the extension was built with."""
    from . import _rgbstream

    return _rgbstream.library_version()
