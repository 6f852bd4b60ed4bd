#pragma once
// The replay file's records, shared by the reader and the writer: the magic, the record tags
// and how one tick and the header are written.
#include <cstdint>
#include <cstring>
#include <vector>

#include "state/Bytes.h"
#include "state/Replay.h"

namespace tb::replay_records {

// The first bytes of every replay file.
inline constexpr char kMagic[8] = {'T', 'B', 'R', 'E', 'P', 'L', 'A', 'Y'};
// The tag before each record: a tick with new keys or the same keys as the one before, a
// checkpoint, the end.
enum Record : uint8_t { kNewKeys = 1, kSameKeys = 2, kCheckpoint = 3, kEnd = 4 };
// Limits on what a file read may hold: a longer version text or a larger side is refused.
inline constexpr size_t kMaxVersionText = 256;
inline constexpr int32_t kMaxSide = 4096;

// A float's bit pattern, and back.
inline uint32_t Bits(float v) {
  uint32_t b = 0;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

inline float FromBits(uint32_t b) {
  float v = 0;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

// Readings follow one another closely: each is written as the zigzag difference of its bit
// pattern from the one before, mostly a single byte.
inline uint64_t Zigzag(uint32_t now, uint32_t before) {
  int64_t d = static_cast<int64_t>(now) - static_cast<int64_t>(before);
  return d >= 0 ? static_cast<uint64_t>(d) * 2 : static_cast<uint64_t>(-d) * 2 - 1;
}

// The reading after `before`, undoing Zigzag; false for a difference out of range.
inline bool Unzigzag(uint64_t z, uint32_t before, uint32_t& now) {
  int64_t d = (z & 1) ? -static_cast<int64_t>((z + 1) / 2) : static_cast<int64_t>(z / 2);
  if (z > (uint64_t{1} << 33)) return false;
  int64_t v = static_cast<int64_t>(before) + d;
  if (v < 0 || v > static_cast<int64_t>(UINT32_MAX)) return false;
  now = static_cast<uint32_t>(v);
  return true;
}

// The magic, the format version and the replay's header fields.
inline void WriteHeader(ByteWriter& w, const Replay& r) {
  w.Raw(std::string(kMagic, sizeof kMagic));
  w.U32(kReplayVersion);
  w.Text(r.GameVersion);
  w.U64(r.Seed);
  w.I32(r.Width);
  w.I32(r.Height);
  w.Varint(r.LoadReadings.size());
  for (float v : r.LoadReadings) w.Float(v);
  w.Varint(static_cast<uint64_t>(r.Rounds));
  w.Varint(static_cast<uint64_t>(r.RoundTicks));
}

// One tick's record; `lastKeys` and `lastReading` carry over from tick to tick.
inline void WriteTick(ByteWriter& w, const std::vector<uint8_t>& keys,
                      const std::vector<float>& readings, std::vector<uint8_t>& lastKeys,
                      uint32_t& lastReading) {
  if (keys == lastKeys) {
    w.U8(kSameKeys);
  } else {
    w.U8(kNewKeys);
    w.U8(static_cast<uint8_t>(keys.size()));
    for (uint8_t k : keys) w.U8(k);
    lastKeys = keys;
  }
  w.Varint(readings.size());
  for (float v : readings) {
    w.Varint(Zigzag(Bits(v), lastReading));
    lastReading = Bits(v);
  }
}

}  // namespace tb::replay_records
