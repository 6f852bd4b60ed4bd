# The game window and its things (treadbrawl_core), for the native build and web/ alike.
set(TREADBRAWL_SHELL_SOURCES MainFrm.cpp ThingCollection.cpp)
list(TRANSFORM TREADBRAWL_SHELL_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
