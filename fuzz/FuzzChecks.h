#pragma once
// What the fuzzers check, shared with the test that replays the inputs they once broke on.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/sim/Script.h"
#include "geometry/Module1.h"

namespace tbfuzz {

// Reads the bytes as a stream of 32-bit values, repeating them when they run out.
class Values {
 public:
  Values(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int32_t Int() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return static_cast<int32_t>(v);
  }
  float Float() {
    uint32_t bits = static_cast<uint32_t>(Int());
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return std::isfinite(f) ? f : 0.0f;  // the primitives promise nothing for NaN or infinity
  }
  tb::Corners Outline() { return {0, Int(), Int(), Int(), Int()}; }

 private:
  uint8_t Byte() { return size_ == 0 ? 0 : data_[at_++ % size_]; }
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

inline void Require(bool ok) {
  if (!ok) __builtin_trap();
}

inline void CheckGeometry(const uint8_t* data, size_t size) {
  using namespace tb::Module1;
  Values v(data, size);
  CirclesTouch(v.Int(), v.Int(), v.Int(), v.Int(), v.Int(), v.Int());
  tb::Corners ax = v.Outline(), ay = v.Outline(), bx = v.Outline(), by = v.Outline();
  CircleTouchesPolygon(ax, ay, v.Int(), v.Int(), v.Int());
  Require(DistanceToSegment(v.Int(), v.Int(), v.Int(), v.Int(), v.Int(), v.Int()) >= 0);
  BoundsOverlap(v.Int(), v.Int(), v.Int(), v.Int(), v.Int(), v.Int(), v.Int(), v.Int());
  bool overlap = PolygonsOverlap(ax, ay, bx, by);
  Require(Contact.CornerHits >= 0 && Contact.CornerHits <= 8);
  Require(overlap == (Contact.CornerHits > 0));
  PointInPolygon(v.Int(), v.Int(), Close(ax), Close(ay));
  InnerSideOfEdge(v.Int(), v.Int(), v.Int(), v.Float(), v.Float(), v.Int());
  float a = AngleTo(v.Float(), v.Float(), v.Float(), v.Float());
  Require(std::isfinite(a) && a >= 0.0f && a <= 6.2831855f);
}

inline void CheckScript(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  tb::sim::Script script;
  std::string error;
  if (tb::sim::ParseScript(text, script, error)) {
    for (const auto& d : script.directives) Require(d.first >= 1 && d.first <= d.last);
  } else {
    Require(error.rfind("script:", 0) == 0);
  }
}

}  // namespace tbfuzz
