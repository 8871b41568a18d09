# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# Manual pages made at build time from the programs' own --help by help2man
# (man_page.sh), so that they never drift from the options; and the bash
# completion.
find_program(HELP2MAN_PROGRAM help2man REQUIRED)
set(RGB_MAN_DIR ${CMAKE_CURRENT_BINARY_DIR}/man1)
file(MAKE_DIRECTORY ${RGB_MAN_DIR})
set(RGB_MAN_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/man_page.sh)

set(RGB_MAN_PAGES)
# page: the page's name; description: its NAME line, empty for the first
# line of --help; target: the program; COMMAND: one of its commands;
# INCLUDE: a help2man include file with sections --help does not give.
function(rgb_man_page page description target)
  cmake_parse_arguments(PAGE "" "COMMAND;INCLUDE" "" ${ARGN})
  set(output ${RGB_MAN_DIR}/${page}.1)
  add_custom_command(
    OUTPUT ${output}
    COMMAND sh ${RGB_MAN_SCRIPT} ${HELP2MAN_PROGRAM} ${output} ${PROJECT_VERSION}
            "${description}" $<TARGET_FILE:${target}> "${PAGE_COMMAND}" "${PAGE_INCLUDE}"
    DEPENDS ${target} ${RGB_MAN_SCRIPT} ${PAGE_INCLUDE}
    COMMENT "Manual page ${page}(1)"
    VERBATIM)
  set(RGB_MAN_PAGES ${RGB_MAN_PAGES} ${output} PARENT_SCOPE)
endfunction()

rgb_man_page(rgbtool "examine, record, edit, convert, mark and watch RGB frame streams" rgbtool)
foreach(command IN LISTS RGBTOOL_COMMANDS)
  rgb_man_page(rgbtool-${command} "" rgbtool COMMAND ${command})
endforeach()
if(TARGET zu_korve)
  rgb_man_page(zu_korve "show a live RGB frame stream with its region of interest marked"
               zu_korve)
endif()
if(TARGET rgbplay)
  rgb_man_page(rgbplay "play an RGB frame stream at its recorded pace" rgbplay
               INCLUDE ${PROJECT_SOURCE_DIR}/player/rgbplay.h2m)
endif()
add_custom_target(rgb_manuals ALL DEPENDS ${RGB_MAN_PAGES})
set(RGB_MAN_PAGES ${RGB_MAN_PAGES} PARENT_SCOPE)
install(FILES ${RGB_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/completion.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME rgbtool)
