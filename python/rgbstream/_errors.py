# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""The package's exception and warnings, and the wording they share."""
import os
import warnings

from ._rgbstream import Error

Error.__doc__ = """A damaged or foreign stream, or an append the file's stream refuses.

A subclass of ValueError. The message starts with the path and names the
frame, in the library's words. Attributes: frame (the index of the frame
concerned, or None) and status (the library's status code).
"""
Error.__module__ = "rgbstream"


class StrayBytesWarning(UserWarning):
    """Bytes after the last whole frame (a cut-off stream, or an append in progress)."""


class DamageWarning(UserWarning):
    """A read with on_error="stop" ended at a damaged frame; the frames before it came back."""


for _class in (StrayBytesWarning, DamageWarning):
    _class.__module__ = "rgbstream"


def error(message, frame=None):
    """An Error raised from Python, with the attributes the library's carry."""
    raised = Error(message)
    raised.frame = frame
    return raised


def name_of(path):
    return os.fsdecode(os.fspath(path))


def warn_stray(path, stray, frames, shape, stacklevel):
    """Bytes after `frames` whole frames of (width, height) `shape` (None: no header)."""
    if frames:
        what = f"{stray} stray bytes after the last whole frame (frame {frames - 1}) ignored"
    elif shape is None:
        what = f"{stray} bytes, less than one frame header: no frame"
    else:
        what = f"{stray} bytes, less than one whole {shape[0]} x {shape[1]} frame: no frame"
    warnings.warn(f"{name_of(path)}: {what}", StrayBytesWarning, stacklevel=stacklevel + 1)


def warn_end(path, words, stacklevel):
    """A stream without a size (a FIFO) that ended inside a header or a frame."""
    warnings.warn(f"{name_of(path)}: {words}; its bytes were ignored", StrayBytesWarning,
                  stacklevel=stacklevel + 1)


def warn_damage(message, kept, stacklevel):
    """A read that stopped at a damage: `message` is the damage's own (path and frame)."""
    frames = "no frame" if kept == 0 else ("1 frame" if kept == 1 else f"{kept} frames")
    warnings.warn(f"{message.rstrip('.')}; read stopped there, {frames} before it returned",
                  DamageWarning, stacklevel=stacklevel + 1)
