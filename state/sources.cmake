# The sources of treadbrawl_state, for the native build and web/ alike.
set(TREADBRAWL_STATE_SOURCES
  LoadedBounds.cpp Recording.cpp Replay.cpp ReplayPlayer.cpp ReplayWriter.cpp
  SnapshotFile.cpp WorldHash.cpp)
list(TRANSFORM TREADBRAWL_STATE_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
