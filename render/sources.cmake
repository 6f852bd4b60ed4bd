# Drawing, explosions and sound paths (treadbrawl_core), for the native build and web/ alike.
set(TREADBRAWL_RENDER_SOURCES Explosions.cpp Raster.cpp Sound.cpp ThingDrawing.cpp)
list(TRANSFORM TREADBRAWL_RENDER_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
