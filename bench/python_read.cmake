# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# bench/python_read.py compares rgbstream.read with this C load.
add_executable(bench_python_read_load ${CMAKE_CURRENT_LIST_DIR}/python_read_load.c)
target_link_libraries(bench_python_read_load PRIVATE rgb::rgb)
rgb_strict_warnings(bench_python_read_load)
