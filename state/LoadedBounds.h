#pragma once
// The values a saved world may hold: what the game itself produces or, where play could in
// principle go further, a documented bound within which none of its arithmetic can overflow.
// A file beyond them is damaged or forged and is refused before anything uses it.
#include <cstdint>
#include <string>
#include <string_view>

#include "state/Snapshot.h"
#include "world/Thing.h"

namespace tb {

// The closed range [low, high] of one numeric Thing field, by its VisitFields name.
struct FieldBound {
  const char* name;
  double low;
  double high;
};

// Far beyond any arena (at most 4096 a side, walls 100 outside it), yet small enough that
// sums and products of coordinates, sizes and speeds stay exact in 64-bit arithmetic.
inline constexpr double kMaxCoordinate = 1 << 20;
// Clock readings: seconds since midnight plus up to 2^31 ticks of 0.02 s.
inline constexpr double kMaxClock = 1 << 26;

// The bound of a numeric field (int32_t, float, or each corner of a Corners); nullptr for a
// name the table does not know.
const FieldBound* ThingFieldBound(std::string_view name);

// Empty when every field of the thing lies within its bound and its IDs name things issued
// up to idCount; else one line, e.g. "field Radius = 1191969280 is outside 0 to 4096".
std::string ThingFieldProblem(const Thing& thing, int32_t idCount);

// Empty when the snapshot holds only what a game can hold (every thing's fields, the ID
// counter, the players, the contact state, the caption); else one line naming the first
// value that is not, e.g. "thing 12 (ID40) field Radius = 1191969280 is outside 0 to 4096".
std::string SnapshotProblem(const Snapshot& snapshot);

// Whether v is a reading the game's clock can give: finite, from 0 to kMaxClock.
bool IsClockReading(float v);

}  // namespace tb
