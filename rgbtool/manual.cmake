# SPDX-FileCopyrightText: 2026 The rgb authors
# SPDX-License-Identifier: MIT
# Manual pages made at build time from the programs' own --help by help2man,
# so that they never drift from the options; and the bash completion.
find_program(HELP2MAN_PROGRAM help2man REQUIRED)
set(RGB_MAN_DIR ${CMAKE_CURRENT_BINARY_DIR}/man1)
file(MAKE_DIRECTORY ${RGB_MAN_DIR})

set(RGB_MAN_PAGES)
# page: the page's name; program: the program, or a wrapper script that runs
# one of its commands under that name; after the description, help2man
# include files with sections --help does not give (EXIT STATUS).
function(rgb_man_page page program target description)
  set(output ${RGB_MAN_DIR}/${page}.1)
  set(includes)
  foreach(include IN LISTS ARGN)
    list(APPEND includes --include=${include})
  endforeach()
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${HELP2MAN_PROGRAM} --no-info --no-discard-stderr
            "--name=${description}" "--version-string=${PROJECT_VERSION}"
            ${includes} --output=${output} ${program}
    DEPENDS ${target} ${program} ${ARGN}
    COMMENT "Manual page ${page}(1)"
    VERBATIM)
  set(RGB_MAN_PAGES ${RGB_MAN_PAGES} ${output} PARENT_SCOPE)
endfunction()

rgb_man_page(rgbtool $<TARGET_FILE:rgbtool> rgbtool
             "examine, convert, mark and watch RGB frame streams")
set(RGBTOOL_COMMANDS
    "info|frames, size, stray bytes, time stamps and frame rate of streams"
    "export|write frames of a stream as PNG, PPM or raw pictures"
    "import|append one frame per picture to a stream"
    "mark|write the region-of-interest display image of frames as pictures"
    "watch|print a line per frame arriving on a pipe or a growing file"
    "check|validate every frame of streams"
    "video|encode a stream as a video with the recorded frame times"
    "sheet|a contact sheet of frames with their number and stamp")
foreach(entry IN LISTS RGBTOOL_COMMANDS)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 command)
  list(GET parts 1 description)
  # help2man names a page after the program it runs: a script per command.
  set(wrapper ${CMAKE_CURRENT_BINARY_DIR}/man-wrappers/rgbtool-${command})
  file(GENERATE OUTPUT ${wrapper}
       CONTENT "#!/bin/sh\nexec '$<TARGET_FILE:rgbtool>' ${command} \"$@\"\n"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                        WORLD_READ WORLD_EXECUTE)
  rgb_man_page(rgbtool-${command} ${wrapper} rgbtool "${description}")
endforeach()
if(TARGET zu_korve)
  rgb_man_page(zu_korve $<TARGET_FILE:zu_korve> zu_korve
               "show a live RGB frame stream with its region of interest marked")
endif()
if(TARGET rgbplay)
  rgb_man_page(rgbplay $<TARGET_FILE:rgbplay> rgbplay "play an RGB frame stream at its recorded pace"
               ${PROJECT_SOURCE_DIR}/player/rgbplay.h2m)
endif()
add_custom_target(rgb_manuals ALL DEPENDS ${RGB_MAN_PAGES})
set(RGB_MAN_PAGES ${RGB_MAN_PAGES} PARENT_SCOPE)
install(FILES ${RGB_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/completion.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME rgbtool)
