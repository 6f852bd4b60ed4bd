#include "state/LoadedBounds.h"

#include <cmath>
#include <cstdio>
#include <set>
#include <type_traits>

namespace tb {

namespace {

constexpr double kMaxInt = 2147483647.0;
// A thing no larger than the largest arena side; walls span a whole side.
constexpr double kMaxSide = 4096;
// Explosions grow 25 past their size before they go.
constexpr double kMaxExplosionSize = 1000000;
constexpr double kMaxRadius = 1 << 20;
// Outline corners lie within a thing's diagonal of its centre.
constexpr double kMaxCorner = 2 * kMaxCoordinate;
constexpr double kMaxSpeed = kMaxCoordinate;
// Angles and phases only ever go round; beyond 2^24 a float no longer moves by a step.
constexpr double kMaxPhase = 1 << 24;

// One row per numeric field, in VisitFields order. Counters the game saturates may take
// any non-negative value; whole-second clock times likewise, as only doubles reach them.
constexpr FieldBound kThingBounds[] = {
    {"ThingType", Vehicle, Explosion},
    {"Width", 0, kMaxSide},
    {"Length", 0, kMaxSide},
    {"Radius", 0, kMaxRadius},
    {"X", -kMaxCoordinate, kMaxCoordinate},
    {"Y", -kMaxCoordinate, kMaxCoordinate},
    {"Angle", -kMaxPhase, kMaxPhase},
    {"Color", 0, 0xFFFFFF},
    {"Free", 0, kMaxInt},
    {"LastGoodX", -kMaxCoordinate, kMaxCoordinate},
    {"LastGoodY", -kMaxCoordinate, kMaxCoordinate},
    {"XSpeed", -kMaxSpeed, kMaxSpeed},
    {"YSpeed", -kMaxSpeed, kMaxSpeed},
    {"ExplosionSize", 0, kMaxExplosionSize},
    {"PowerUpType", SpeedBoost, BiggerBlast},
    {"Damage", 0, kMaxInt},
    {"SeparationTotal", 0, kMaxInt},
    {"SeparationCount", 0, kMaxInt},
    {"TurnSpeed", -kMaxSpeed, kMaxSpeed},
    {"DriveSpeed", -kMaxSpeed, kMaxSpeed},
    {"DriveXSpeed", -kMaxSpeed, kMaxSpeed},
    {"DriveYSpeed", -kMaxSpeed, kMaxSpeed},
    {"PointsX", -kMaxCorner, kMaxCorner},
    {"PointsY", -kMaxCorner, kMaxCorner},
    {"RightTrackSpeed", -kMaxSpeed, kMaxSpeed},
    {"LeftTrackSpeed", -kMaxSpeed, kMaxSpeed},
    {"RightTreadOffset", 0, 8},
    {"LeftTreadOffset", 0, 8},
    {"Friction", 0, 1},
    {"MaxSpeed", 0, kMaxSpeed},
    {"SpeedDecayTime", 0, kMaxClock},
    {"BlastDecayTime", 0, kMaxClock},
    {"BlastDecayCarry", 0, 1},
    {"InvulnerableUntil", 0, kMaxInt},
    {"Grenades", 0, kMaxInt},
    {"Pulse", -kMaxPhase, kMaxPhase},
    {"FuseTime", 0, kMaxInt},
    {"LastLaunchTime", 0, kMaxInt},
    {"BodyX", -kMaxCorner, kMaxCorner},
    {"BodyY", -kMaxCorner, kMaxCorner},
    {"OuterX", -kMaxCorner, kMaxCorner},
    {"OuterY", -kMaxCorner, kMaxCorner},
};

constexpr int kMaxCaption = 64;
constexpr int32_t kMaxCornerHits = 8;
constexpr const char* kColours[] = {"Blue", "Green", "Red", "Yellow"};  // in name order

// Whole numbers in full; floats to the nine digits that tell any two apart.
std::string Number(double v, bool isFloat = false) {
  char text[32];
  std::snprintf(text, sizeof text, isFloat ? "%.9g" : "%.10g", v);
  return text;
}

// At most 40 bytes of a text from a file, quoted, anything unprintable as '?'.
std::string Shown(const std::string& s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size() && i < 40; ++i) out += s[i] >= 0x20 && s[i] < 0x7F ? s[i] : '?';
  return out + (s.size() > 40 ? "...\"" : "\"");
}

bool Within(double v, const FieldBound& b) { return v >= b.low && v <= b.high; }

// "NAME = v is outside low to high".
std::string Outside(const std::string& name, double v, const FieldBound& b, bool isFloat = false) {
  return name + " = " + Number(v, isFloat) + " is outside " + Number(b.low) + " to " +
         Number(b.high);
}

// The number of an ID made as the game makes them ("ID" and a decimal from 1, no leading
// zero), or 0 for any other text.
int64_t IDNumber(const std::string& id) {
  if (id.size() < 3 || id.size() > 12 || id.compare(0, 2, "ID") != 0 || id[2] == '0') return 0;
  int64_t n = 0;
  for (size_t i = 2; i < id.size(); ++i) {
    if (id[i] < '0' || id[i] > '9') return 0;
    n = n * 10 + (id[i] - '0');
  }
  return n;
}

std::string IDProblem(const char* name, const std::string& id, bool mayBeEmpty, int32_t idCount) {
  if (mayBeEmpty && id.empty()) return {};
  const int64_t n = IDNumber(id);
  if (n >= 1 && n <= idCount) return {};
  return std::string("field ") + name + " = " + Shown(id) + " is not an ID from ID1 to ID" +
         std::to_string(idCount) + (mayBeEmpty ? " nor empty" : "");
}

// "thing 12 (ID40) ", the ID only when it is one.
std::string ThingLabel(const char* list, size_t index, const Thing& t, int32_t idCount) {
  std::string label = std::string(list) + " " + std::to_string(index + 1);
  if (IDNumber(t.ID) > 0 && IDNumber(t.ID) <= idCount) label += " (" + t.ID + ")";
  return label + " ";
}

}  // namespace

const FieldBound* ThingFieldBound(std::string_view name) {
  for (const FieldBound& b : kThingBounds)
    if (name == b.name) return &b;
  return nullptr;
}

bool IsClockReading(float v) {
  return std::isfinite(v) && v >= 0.0f && static_cast<double>(v) <= kMaxClock;
}

std::string ThingFieldProblem(const Thing& thing, int32_t idCount) {
  std::string problem;
  thing.VisitFields([&](const char* name, const auto& field) {
    using T = std::decay_t<decltype(field)>;
    if (!problem.empty()) return;
    if constexpr (std::is_same_v<T, std::string>) {
      const std::string_view n = name;
      problem = IDProblem(name, field, n != "ID", idCount);
    } else if constexpr (std::is_same_v<T, bool>) {
      // Read as 0 or 1: every value is the game's.
    } else {
      const FieldBound* bound = ThingFieldBound(name);
      if (bound == nullptr) {
        problem = std::string("field ") + name + " has no known range";
      } else if constexpr (std::is_same_v<T, Corners>) {
        // Corner 0 is never used, so the game leaves it 0.
        if (field[0] != 0)
          problem =
              std::string("field ") + name + "[0] = " + std::to_string(field[0]) + " is not 0";
        for (size_t k = 1; k < field.size() && problem.empty(); ++k) {
          if (!Within(field[k], *bound))
            problem = "field " + Outside(name + ("[" + std::to_string(k) + "]"), field[k], *bound);
        }
      } else {
        // NaN fails both comparisons and so is outside every range.
        if (!Within(static_cast<double>(field), *bound))
          problem = "field " +
                    Outside(name, static_cast<double>(field), *bound, std::is_same_v<T, float>);
      }
    }
  });
  return problem;
}

std::string SnapshotProblem(const Snapshot& s) {
  // The next thing made takes IDCount + 1.
  if (s.IDCount < 0 || s.IDCount == INT32_MAX)
    return "IDCount = " + std::to_string(s.IDCount) + " is outside 0 to 2147483646";
  std::set<std::string> ids;
  for (const auto& [list, name] :
       {std::pair{&s.Things, "thing"}, std::pair{&s.OutOfWorld, "destroyed vehicle"}}) {
    for (size_t i = 0; i < list->size(); ++i) {
      const Thing& t = (*list)[i];
      std::string problem = ThingFieldProblem(t, s.IDCount);
      if (problem.empty() && list == &s.OutOfWorld && t.ThingType() != Vehicle)
        problem = "field ThingType = " + std::to_string(t.ThingType()) + " is not a vehicle";
      // IDs name things: two things of one ID would make another game.
      if (problem.empty() && !ids.insert(t.ID).second) problem = "has the ID of another thing";
      if (!problem.empty()) return ThingLabel(name, i, t, s.IDCount) + problem;
    }
  }
  size_t nextColour = 0;
  for (size_t i = 0; i < s.Players.size(); ++i) {
    const Snapshot::Player& p = s.Players[i];
    // One entry per colour, in name order, as the window's collection lists them.
    while (nextColour < 4 && p.Colour != kColours[nextColour]) ++nextColour;
    if (nextColour == 4)
      return "player " + std::to_string(i + 1) + " colour " + Shown(p.Colour) +
             " is not Blue, Green, Red or Yellow, once each and in that order";
    ++nextColour;
    const std::vector<Thing>& list = p.InWorld ? s.Things : s.OutOfWorld;
    if (p.Index >= list.size() || list[p.Index].ThingType() != Vehicle)
      return "player " + std::string(p.Colour) + " does not name a vehicle";
  }
  const Module1::ContactState& c = s.Contact;
  const FieldBound point{"", -kMaxCorner, kMaxCorner};
  for (const auto& [name, v] :
       {std::pair{"CrashPointX", c.CrashPointX}, std::pair{"CrashPointY", c.CrashPointY},
        std::pair{"NearX", c.NearX}, std::pair{"NearY", c.NearY}}) {
    if (!Within(v, point)) return "contact " + Outside(name, v, point);
  }
  if (c.CornerHits < 0 || c.CornerHits > kMaxCornerHits)
    return "contact CornerHits = " + std::to_string(c.CornerHits) + " is outside 0 to 8";
  bool printable = s.Caption.size() <= kMaxCaption;
  for (char ch : s.Caption) printable = printable && ch >= 0x20 && ch < 0x7F;
  if (!printable)
    return "caption " + Shown(s.Caption) + " is not at most " + std::to_string(kMaxCaption) +
           " printable characters";
  return {};
}

}  // namespace tb
