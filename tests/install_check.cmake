# Installs the build into a fresh prefix and starts the installed game for a few ticks.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
foreach(f bin/treadbrawl lib/treadbrawl/treadbrawl lib/treadbrawl/Sounds/bombs/bomb4.wav
          lib/treadbrawl/Sounds/random/random7.wav share/applications/treadbrawl.desktop
          share/icons/hicolor/96x96/apps/treadbrawl.png)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
                        TREADBRAWL_MAX_TICKS=10 ${PREFIX}/bin/treadbrawl
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installed game failed (${rc}): ${err}")
endif()
