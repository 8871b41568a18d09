#!/bin/sh
# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# install_import.sh BUILD PREFIX PYTHON: installs the rgbstream component of
# BUILD into PREFIX and round-trips a frame through the installed package.
set -eu
build=$1 prefix=$2 python=$3
rm -rf "$prefix"
cmake --install "$build" --component rgbstream --prefix "$prefix" >/dev/null
site=$prefix/lib/python3/dist-packages
test -f "$site/rgbstream/__init__.py"
ls "$site"/rgbstream/_rgbstream.*.so >/dev/null
cd "$prefix"
env -u PYTHONPATH PYTHONPATH="$site" PYTHONDONTWRITEBYTECODE=1 "$python" - "$site" <<'PY'
import os, sys
import numpy as np
import rgbstream
assert os.path.dirname(rgbstream.__file__) == os.path.join(sys.argv[1], "rgbstream"), rgbstream.__file__
# Compiled at install: an interpreter that cannot write there would
# otherwise compile the sources on every start-up.
import glob, importlib.util
sources = glob.glob(os.path.join(sys.argv[1], "rgbstream", "*.py"))
assert sources and all(os.path.exists(importlib.util.cache_from_source(s)) for s in sources), sources
image = np.zeros((2, 3, 3), np.uint8)
image[0, 0] = (9, 8, 7)
assert rgbstream.write("one.rgb", image, [5]) == 1
images, stamps = rgbstream.read("one.rgb")
assert images.shape == (1, 2, 3, 3) and images[0, 0, 0].tolist() == [9, 8, 7] and stamps.tolist() == [5]
PY
