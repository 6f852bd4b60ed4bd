# Addresses and seat masks: what the command line takes from the network code, and all of
# it the page builds.
set(TREADBRAWL_NET_CLI_SOURCES Address.cpp SeatMask.cpp)
list(TRANSFORM TREADBRAWL_NET_CLI_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
