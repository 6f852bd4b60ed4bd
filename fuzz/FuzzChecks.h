#pragma once
// What the fuzzers check, shared with the test that replays the inputs they once broke on.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/sim/NullSurface.h"
#include "app/sim/Script.h"
#include "app/sim/SimPlatform.h"
#include "geometry/Module1.h"
#include "match/Rounds.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "state/Replay.h"
#include "state/Snapshot.h"
#include "state/SnapshotFile.h"
#include "state/WorldHash.h"

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

// A problem is one line of text.
inline void RequireProblem(const std::string& problem) {
  Require(!problem.empty() && problem.find('\n') == std::string::npos);
}

inline void CheckReplayBytes(const std::string& bytes) {
  tb::Replay r;
  std::string problem;
  if (!tb::ParseReplay(bytes, r, problem)) return RequireProblem(problem);
  Require(r.Width >= 1 && r.Width <= 4096 && r.Height >= 1 && r.Height <= 4096);
  Require(r.Rounds >= 0 && r.Rounds <= tb::kMaxRounds && (r.Rounds == 0 || r.RoundTicks >= 1));
  Require(r.KeyStart.size() == r.ReadingStart.size() && r.KeyStart.back() == r.Keys.size() &&
          r.ReadingStart.back() == r.Readings.size());
  // What was read writes out in the writer's own form, which reads back to the same.
  const std::string again = tb::SerializeReplay(r);
  tb::Replay back;
  Require(tb::ParseReplay(again, back, problem));
  Require(tb::SerializeReplay(back) == again && back.Ticks() == r.Ticks());
}

inline void CheckSnapshotBytes(const std::string& bytes) {
  tb::Snapshot s;
  std::string problem;
  if (!tb::ParseSnapshot(bytes, s, problem)) return RequireProblem(problem);
  const std::string again = tb::SerializeSnapshot(s);
  tb::Snapshot back;
  Require(tb::ParseSnapshot(again, back, problem) && tb::SerializeSnapshot(back) == again);
  // Whatever a file holds, restoring it is safe.
  tb::sim::NullSurface surface;
  tb::sim::ScriptedKeys keys;
  tb::sim::RecordingSoundPlayer sound;
  tb::sim::SimClock clock(0);
  tb::Pcg32 random;
  tb::MainFrm form(surface, keys, sound, clock, random, ".");
  form.RestoreSnapshot(back);
  Require(form.ThingCollection.Count() == back.Things.size());
  tb::WorldHash(form);
}

// The input as a snapshot's body, given a valid header and checksum so that the reader's
// checks beyond them are reached.
inline std::string SealedSnapshot(const std::string& body) {
  std::string out = "TBSNAP\r\n";
  auto put = [&out](uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i));
  };
  put(tb::kSnapshotVersion, 4);
  put(out.size() + 8 + body.size() + 8, 8);
  out += body;
  tb::Fnv1a h;
  h.Bytes(out.data(), out.size());
  put(h.Value(), 8);
  return out;
}

// The replay and snapshot readers on any bytes: a result or a one-line problem, nothing worse.
inline void CheckSavedFiles(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  CheckReplayBytes(bytes);
  CheckReplayBytes("TBREPLAY" + bytes);
  CheckSnapshotBytes(bytes);
  CheckSnapshotBytes(SealedSnapshot(bytes));
}

}  // namespace tbfuzz
