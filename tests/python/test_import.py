# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# What `import rgbstream` costs a program that only reads and writes
# streams: no dask or xarray, and the package's modules loaded from
# bytecode instead of compiled from their sources on every start-up.
import importlib.util
import os
import struct
import subprocess
import sys

import pytest

import rgbstream

PACKAGE_DIR = os.path.dirname(rgbstream.__file__)
# A bytecode file starts with the interpreter's magic, flags (0: checked
# against the source's modification time) and the source's time and size.
PYC_HEADER = struct.Struct("<4sIII")


def fresh_interpreter(code):
    """The lines code prints in an interpreter of its own (importing the package under test)."""
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          check=False)
    assert done.returncode == 0, done.stderr
    return done.stdout.split()


@pytest.mark.parametrize("module", ["dask", "dask.array", "xarray", "distributed",
                                    "rgbstream._dask"])
def test_import_leaves_dask_and_xarray_unloaded(module):
    assert fresh_interpreter(f"import sys, rgbstream; print({module!r} in sys.modules)") == ["False"]


@pytest.mark.parametrize("reach", [
    "rgbstream.to_dask.__name__, rgbstream.open_dataarray.__name__",
    "*(name for name in ('to_dask', 'open_dataarray') if name in dir(rgbstream))",
    "*(sorted(name for name in ('to_dask', 'open_dataarray') if name in ns))",
])
def test_dask_entry_points_stay_reachable(reach):
    code = ("import rgbstream; ns = {}; exec('from rgbstream import *', ns); "
            f"print({reach})")
    assert sorted(fresh_interpreter(code)) == ["open_dataarray", "to_dask"]


def test_unknown_attribute_is_still_an_attribute_error():
    with pytest.raises(AttributeError, match="no_such_thing"):
        rgbstream.no_such_thing  # noqa: B018 - the access is the test


@pytest.mark.parametrize("source", sorted(name for name in os.listdir(PACKAGE_DIR)
                                          if name.endswith(".py")))
def test_modules_have_bytecode_matching_their_source(source):
    path = os.path.join(PACKAGE_DIR, source)
    with open(importlib.util.cache_from_source(path), "rb") as compiled:
        magic, flags, mtime, size = PYC_HEADER.unpack(compiled.read(PYC_HEADER.size))
    st = os.stat(path)
    assert (magic, flags) == (importlib.util.MAGIC_NUMBER, 0)
    assert (mtime, size) == (int(st.st_mtime) & 0xFFFFFFFF, st.st_size & 0xFFFFFFFF)
