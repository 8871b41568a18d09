# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# The seed corpus, generated at build time into <build>/fuzz-seeds by a small
# program. Included by the fuzz build and by the replay tests; the first
# include defines it.
if(NOT TARGET rgb_fuzz_seeds)
  # The header builder is the test suites' own (tests/support, which needs
  # no GoogleTest); the library is linked only because that file also holds
  # helpers that call it.
  add_executable(rgb_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/make_seeds.cpp
                                ${PROJECT_SOURCE_DIR}/tests/support/test_support.cpp)
  target_include_directories(rgb_fuzz_seeds PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(rgb_fuzz_seeds PRIVATE rgb::rgb)
  rgb_strict_warnings(rgb_fuzz_seeds)
  set(RGB_FUZZ_SEED_DIR ${PROJECT_BINARY_DIR}/fuzz-seeds CACHE INTERNAL "Seed corpus folder")
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/fuzz-seeds.stamp
    COMMAND ${CMAKE_COMMAND} -E make_directory ${RGB_FUZZ_SEED_DIR}
    COMMAND rgb_fuzz_seeds ${RGB_FUZZ_SEED_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${PROJECT_BINARY_DIR}/fuzz-seeds.stamp
    DEPENDS rgb_fuzz_seeds
    COMMENT "Writing the fuzz seed corpus")
  add_custom_target(rgb_fuzz_seed_corpus ALL DEPENDS ${PROJECT_BINARY_DIR}/fuzz-seeds.stamp)
endif()

# The fuzz targets, by the name of their source file in fuzz/.
set(RGB_FUZZ_TARGETS stream file pipe roundtrip)
