#pragma once
// Plane geometry on whole-number screen coordinates. The tests report where a contact
// happened through one shared contact state, read by the caller right after the test.
#include <array>
#include <cstdint>

#include "world/Thing.h"

namespace tb::Module1 {

// Where the latest tests found their contacts.
struct ContactState {
  int32_t CrashPointX = 0;  // of the latest test that found a contact
  int32_t CrashPointY = 0;
  int32_t CornerHits = 0;     // corners inside the other outline, latest PolygonsOverlap
  bool CentreInside = false;  // circle's centre inside, latest CircleTouchesPolygon
  int32_t NearX = 0;          // foot point of the latest DistanceToSegment
  int32_t NearY = 0;
};

// The module's one contact state; every test overwrites the parts named for it.
extern ContactState Contact;

// Outline arrays closed for the edge walk: entries 1 to 4 are the corners, 5 repeats 1.
using ClosedCorners = std::array<int32_t, 6>;
// The corners, closed.
ClosedCorners Close(const Corners& c);

// Whether two circles touch or overlap; the crash point is the midpoint of the centres.
bool CirclesTouch(int32_t x1, int32_t y1, int32_t r1, int32_t x2, int32_t y2, int32_t r2);
// Whether a circle touches an outline, with CentreInside and the crash point.
bool CircleTouchesPolygon(const Corners& PX, const Corners& PY, int32_t x, int32_t y, int32_t r);
// True only where CircleTouchesPolygon is sure to be false, found without its rounded
// distances; false means it may be either. Leaves no trace.
bool CircleSurelyClearOfPolygon(const Corners& PX, const Corners& PY, int32_t x, int32_t y,
                                int32_t r);
// Leaves the contact state as a CircleTouchesPolygon that is false leaves it.
void LeaveCircleMissTrace(const Corners& PX, const Corners& PY, int32_t x, int32_t y);
// Estimated distance from (px, py) to the edge, whose nearest point goes to NearX, NearY.
int32_t DistanceToSegment(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t px, int32_t py);
// The quick test: centres closer than the full sizes added, widths along x, lengths along y.
bool BoundsOverlap(int32_t x1, int32_t y1, int32_t length1, int32_t width1, int32_t x2, int32_t y2,
                   int32_t length2, int32_t width2);
// Whether a corner of either outline lies inside the other, with CornerHits and the crash point.
bool PolygonsOverlap(const Corners& AX, const Corners& AY, const Corners& BX, const Corners& BY);
// Whether the point is on the inner side of all four edges of a clockwise outline.
bool PointInPolygon(int32_t px, int32_t py, const ClosedCorners& PX, const ClosedCorners& PY);
// Whether the point lies right of the edge from end 1 to end 2 (inside, for clockwise corners).
bool InnerSideOfEdge(int32_t px, int32_t py, int32_t x1, float y1, float x2, int32_t y2);
// The direction from the first point to the second, in [0, 2 pi].
float AngleTo(float x1, float y1, float x2, float y2);

}  // namespace tb::Module1
