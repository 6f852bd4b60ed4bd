#pragma once
// The world state as text (one JSON object a thing) and as one 64-bit hash.
#include <cstdint>
#include <optional>
#include <string>

#include "shell/MainFrm.h"
#include "state/WorldHash.h"
#include "world/Thing.h"

namespace tb::sim {

// The shortest decimal that reads back as exactly this float, so 0.1f is written 0.1;
// null for infinities and NaN, which JSON cannot hold.
void AppendJsonFloat(std::string& out, float value);
// That shortest text for a finite float (to_chars' own form: fixed or with an exponent,
// whichever is shorter), made through snprintf for standard libraries without a
// floating-point to_chars; always built, so that tests hold it to to_chars.
std::string ShortestFloatByPrintf(float value);
// A JSON string literal; bytes that are not UTF-8 become U+FFFD.
void AppendJsonString(std::string& out, const std::string& text);

// One JSON object (no newline) with every field of the thing in VisitFields order, corner
// arrays as their entries 1 to 4. With a tick it comes first, as "tick".
std::string ThingJson(const Thing& thing, std::optional<int64_t> tick = std::nullopt);

// The world hash lives in the core; the simulator's names for it.
using tb::Fnv1a;
using tb::HashHex;
using tb::WorldHash;

}  // namespace tb::sim
