# The simulator's support and the command line, for the native build and web/ alike.
set(TREADBRAWL_SIMKIT_SOURCES
  sim/Scene.cpp sim/Script.cpp sim/SimOptions.cpp sim/Simulator.cpp sim/StateDump.cpp
  sim/Tournament.cpp)
set(TREADBRAWL_CLI_SOURCES cli/CommandLine.cpp)
list(TRANSFORM TREADBRAWL_SIMKIT_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
list(TRANSFORM TREADBRAWL_CLI_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
