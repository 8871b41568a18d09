# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
"""Times given by the caller, as whole milliseconds on the continuous timeline.

Frame times are whole milliseconds, so a time between two of them selects
what the next whole millisecond would: the frame shown at 40.5 ms is the
one shown at 40 ms, and [10.5, 60.5) holds the frames of [11, 61).
"""
import datetime
import math
import operator

import numpy as np

_MS = datetime.timedelta(milliseconds=1)
_NS_PER_MS = 1_000_000


def _exact(t):
    """t as an integer of milliseconds if it is one, else as a float."""
    if isinstance(t, bool):
        raise TypeError("a time must be milliseconds, a timedelta or a numpy.timedelta64, not bool")
    if isinstance(t, datetime.timedelta):
        return t
    if isinstance(t, np.timedelta64):
        if np.isnat(t):
            raise ValueError("a time must not be NaT")
        return int(t.astype("timedelta64[ns]").astype(np.int64))
    try:
        return operator.index(t)
    except TypeError:
        pass
    try:
        value = float(t)
    except (TypeError, ValueError):
        raise TypeError("a time must be milliseconds, a timedelta or a numpy.timedelta64, "
                        f"not {type(t).__name__}") from None
    if not math.isfinite(value):
        raise ValueError(f"a time must be finite, not {value}")
    return value


def floor_ms(t):
    """The last whole millisecond at or before t."""
    value = _exact(t)
    if isinstance(value, datetime.timedelta):
        return value // _MS
    if isinstance(t, np.timedelta64):
        return value // _NS_PER_MS
    return math.floor(value)


def ceil_ms(t):
    """The first whole millisecond at or after t."""
    value = _exact(t)
    if isinstance(value, datetime.timedelta):
        return -(-value // _MS)
    if isinstance(t, np.timedelta64):
        return -(-value // _NS_PER_MS)
    return math.ceil(value)
