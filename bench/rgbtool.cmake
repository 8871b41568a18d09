# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# rgbtool export against netpbm and ImageMagick, info against cat, and
# import and export of PNGs against ffmpeg.
if(RGB_BUILD_TOOL)
  add_executable(bench_rgbtool ${CMAKE_CURRENT_LIST_DIR}/rgbtool.cpp)
  target_link_libraries(bench_rgbtool PRIVATE rgb::rgb)
  target_compile_definitions(bench_rgbtool PRIVATE RGBTOOL_PATH="$<TARGET_FILE:rgbtool>")
  add_dependencies(bench_rgbtool rgbtool)
  rgb_strict_warnings(bench_rgbtool)
endif()
