# The sources of treadbrawl_bots, for the native build and web/ alike.
set(TREADBRAWL_BOTS_SOURCES Driver.cpp Seats.cpp)
list(TRANSFORM TREADBRAWL_BOTS_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
