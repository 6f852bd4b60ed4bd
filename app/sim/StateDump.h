#pragma once
// The world state as text (one JSON object a thing) and as one 64-bit hash.
#include <cstdint>
#include <optional>
#include <string>

#include "shell/MainFrm.h"
#include "world/Thing.h"

namespace tb::sim {

// The shortest decimal that reads back as exactly this float, so 0.1f is written 0.1;
// null for infinities and NaN, which JSON cannot hold.
void AppendJsonFloat(std::string& out, float value);
// A JSON string literal; bytes that are not UTF-8 become U+FFFD.
void AppendJsonString(std::string& out, const std::string& text);

// One JSON object (no newline) with every field of the thing in VisitFields order, corner
// arrays as their entries 1 to 4. With a tick it comes first, as "tick".
std::string ThingJson(const Thing& thing, std::optional<int64_t> tick = std::nullopt);

// 64-bit FNV-1a.
class Fnv1a {
 public:
  void Bytes(const void* data, size_t size);
  void U32(uint32_t v);
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Float(float v);              // by its bit pattern, so -0 and each NaN differ
  void Text(const std::string& s);  // length first, so "ab"+"c" differs from "a"+"bc"
  uint64_t Value() const { return h_; }

 private:
  uint64_t h_ = 14695981039346656037ULL;
};

// Every field of every live thing in collection order (field names included), then the
// window caption and the number of IDs issued.
uint64_t WorldHash(const MainFrm& form, const std::string& caption);
// 16 lower-case hex digits.
std::string HashHex(uint64_t hash);

}  // namespace tb::sim
