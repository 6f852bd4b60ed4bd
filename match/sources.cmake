# The sources of treadbrawl_match, for the native build and web/ alike.
set(TREADBRAWL_MATCH_SOURCES Rounds.cpp Tick.cpp)
list(TRANSFORM TREADBRAWL_MATCH_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
