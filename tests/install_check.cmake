# Installs the build into a fresh prefix, checks the games layout and starts the installed game
# through its command for a few ticks.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
set(expected games/treadbrawl lib/games/treadbrawl/treadbrawl
    lib/games/treadbrawl/Sounds/bombs/bomb4.wav lib/games/treadbrawl/Sounds/random/random7.wav
    share/man/man6/treadbrawl.6.gz share/applications/treadbrawl.desktop
    share/metainfo/io.github.treadbrawl.treadbrawl.metainfo.xml
    share/doc/treadbrawl/copyright share/doc/treadbrawl/changelog.Debian.gz)
foreach(size 16 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/treadbrawl.png)
endforeach()
foreach(f ${expected})
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
if(NOT IS_SYMLINK ${PREFIX}/games/treadbrawl)
  message(FATAL_ERROR "games/treadbrawl is not a link to the game")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
                        TREADBRAWL_MAX_TICKS=10 ${PREFIX}/games/treadbrawl
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installed game failed (${rc}): ${err}")
endif()
# `man treadbrawl` finds the page through the command's folder on the PATH, as for /usr/games.
find_program(MAN_EXECUTABLE man)
if(MAN_EXECUTABLE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=MANPATH PATH=${PREFIX}/games:/usr/bin:/bin
                          ${MAN_EXECUTABLE} -w treadbrawl
                  RESULT_VARIABLE rc OUTPUT_VARIABLE page OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0 OR NOT page STREQUAL "${PREFIX}/share/man/man6/treadbrawl.6.gz")
    message(FATAL_ERROR "man treadbrawl does not find the installed page (${rc}): ${page}")
  endif()
endif()
