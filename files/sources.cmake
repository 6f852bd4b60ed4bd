# The sources of treadbrawl_files, for the native build and web/ alike.
set(TREADBRAWL_FILES_SOURCES Files.cpp)
list(TRANSFORM TREADBRAWL_FILES_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
