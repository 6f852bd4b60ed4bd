# The platform's plain C++ without SDL (pacing, placement, pads), which the page's layer
# builds too.
set(TREADBRAWL_PLATFORM_PLAIN_SOURCES PadKeys.cpp TickSchedule.cpp WindowPlacement.cpp)
list(TRANSFORM TREADBRAWL_PLATFORM_PLAIN_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
