# The game's things (treadbrawl_core), for the native build and web/ alike.
set(TREADBRAWL_WORLD_SOURCES Thing.cpp)
list(TRANSFORM TREADBRAWL_WORLD_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
