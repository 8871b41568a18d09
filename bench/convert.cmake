# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# Planar <-> interleaved kernels, each one the CPU runs, against memcpy.
add_executable(bench_convert ${CMAKE_CURRENT_LIST_DIR}/convert.cpp)
target_link_libraries(bench_convert PRIVATE rgb_internal)
rgb_strict_warnings(bench_convert)
