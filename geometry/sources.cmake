# Contact, collision and the collision grid (treadbrawl_core), for the native build and web/
# alike.
set(TREADBRAWL_GEOMETRY_SOURCES
  Collision.cpp CollisionGrid.cpp Module1.cpp OutlinePoints.cpp Response.cpp)
list(TRANSFORM TREADBRAWL_GEOMETRY_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
