# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
add_executable(bench_stream ${CMAKE_CURRENT_LIST_DIR}/stream.cpp)
target_link_libraries(bench_stream PRIVATE rgb_internal)
rgb_strict_warnings(bench_stream)
