# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# The viewer's marking against memcpy, and its start-up time in Xvfb.
if(RGB_BUILD_VIEWER)
  find_package(X11 REQUIRED)
  add_executable(bench_viewer ${CMAKE_CURRENT_LIST_DIR}/viewer.cpp
    ${PROJECT_SOURCE_DIR}/tests/viewer/xserver.cpp)
  target_include_directories(bench_viewer PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(bench_viewer PRIVATE toolkit rgb_internal
    X11::X11 X11::Xtst)
  target_compile_definitions(bench_viewer PRIVATE
    ZU_KORVE_PATH="$<TARGET_FILE:zu_korve>")
  add_dependencies(bench_viewer zu_korve)
  rgb_strict_warnings(bench_viewer)
endif()
