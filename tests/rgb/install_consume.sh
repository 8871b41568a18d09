#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# Installs the library into a temporary prefix, static and shared, and builds
# and runs outside consumers in C and C++ through the CMake package and
# through pkg-config.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'echo "install_consume.sh: line $LINENO failed: $BASH_COMMAND" >&2' ERR

for kind in static shared; do
  echo "--- $kind"
  shared=OFF
  [[ $kind == shared ]] && shared=ON
  prefix=$work/$kind/prefix
  cmake -S "$source_dir" -B "$work/$kind/build" -G Ninja -DBUILD_SHARED_LIBS=$shared \
    -DBUILD_TESTING=OFF -DRGB_BUILD_VIEWER=OFF -DRGB_BUILD_TOOL=OFF -DRGB_BUILD_BENCH=OFF >/dev/null
  cmake --build "$work/$kind/build" >/dev/null
  cmake --install "$work/$kind/build" --prefix "$prefix" >/dev/null
  test -f "$prefix/include/rgb/rgb.h"
  libdir=$(dirname "$(find "$prefix" -name 'librgb.*' -print -quit)")
  if [[ $kind == shared ]]; then test -f "$libdir/librgb.so"; else test -f "$libdir/librgb.a"; fi
  test -f "$libdir/cmake/rgb/rgbConfigVersion.cmake"

  # The CMake package.
  cmake -S "$source_dir/tests/rgb/consumer" -B "$work/$kind/consumer" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$work/$kind/consumer" >/dev/null
  "$work/$kind/consumer/consumer_c" "$work/$kind/cmake-c.rgb"
  "$work/$kind/consumer/consumer_cpp" "$work/$kind/cmake-cpp.rgb"

  # pkg-config, with the plain C and C++ compilers as drivers.
  export PKG_CONFIG_PATH=$libdir/pkgconfig
  flags=$(pkg-config --cflags --libs rgb)
  cc -std=c99 -Wall -Werror "$source_dir/tests/rgb/consumer/consumer.c" $flags -o "$work/$kind/pc_c"
  c++ -std=c++17 -Wall -Werror "$source_dir/tests/rgb/consumer/consumer.cpp" $flags -o "$work/$kind/pc_cpp"
  LD_LIBRARY_PATH=$libdir "$work/$kind/pc_c" "$work/$kind/pc-c.rgb"
  LD_LIBRARY_PATH=$libdir "$work/$kind/pc_cpp" "$work/$kind/pc-cpp.rgb"
  if [[ $kind == shared ]]; then
    # Not piped into grep -q: its early exit would fail ldd under pipefail.
    linked=$(ldd "$work/$kind/consumer/consumer_c")
    [[ $linked == *"$libdir/librgb.so"* ]]
    # The installed library exports exactly the functions rgb.h declares.
    "$source_dir/tests/rgb/exported_symbols.sh" "$libdir/librgb.so" "$prefix/include/rgb/rgb.h" >/dev/null
  fi
  # The installed example consumer of the handle API builds with the plain
  # C compiler and reads what a consumer above wrote.
  cc -std=c99 -Wall -Werror "$prefix/share/doc/rgb/examples/frame_stats.c" $flags -o "$work/$kind/frame_stats"
  LD_LIBRARY_PATH=$libdir "$work/$kind/frame_stats" "$work/$kind/pc-c.rgb" >/dev/null
done
echo "install and consume: all consumers ran"
