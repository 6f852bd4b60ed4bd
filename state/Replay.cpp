#include "state/Replay.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "match/Rounds.h"
#include "state/Bytes.h"
#include "state/LoadedBounds.h"
#include "state/ReplayRecords.h"
#include "state/WorldHash.h"

namespace tb {

using namespace replay_records;

namespace {
// "= v is outside 0 to 67108864", for a reading no clock of the game gives.
std::string ClockProblem(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
  return std::string("= ") + text + " is outside 0 to " +
         std::to_string(static_cast<int64_t>(kMaxClock));
}
}  // namespace

void Replay::AddTick(const std::vector<uint8_t>& keys, const std::vector<float>& readings) {
  Keys.insert(Keys.end(), keys.begin(), keys.end());
  KeyStart.push_back(static_cast<uint32_t>(Keys.size()));
  Readings.insert(Readings.end(), readings.begin(), readings.end());
  ReadingStart.push_back(static_cast<uint32_t>(Readings.size()));
}

std::string SerializeReplay(const Replay& r) {
  ByteWriter w;
  WriteHeader(w, r);
  std::vector<uint8_t> lastKeys;
  uint32_t lastReading = r.LoadReadings.empty() ? 0 : Bits(r.LoadReadings.back());
  size_t chunk = 0;
  size_t nextHash = 0;
  for (int64_t t = 1; t <= r.Ticks(); ++t) {
    std::vector<uint8_t> keys(r.Keys.begin() + r.KeyStart[t - 1], r.Keys.begin() + r.KeyStart[t]);
    std::vector<float> readings(r.Readings.begin() + r.ReadingStart[t - 1],
                                r.Readings.begin() + r.ReadingStart[t]);
    WriteTick(w, keys, readings, lastKeys, lastReading);
    if (nextHash < r.Hashes.size() && r.Hashes[nextHash].first == t) {
      uint64_t sum = Fnv1aOf(w.Bytes().data() + chunk, w.Bytes().size() - chunk);
      chunk = w.Bytes().size();
      w.U8(kCheckpoint);
      w.Varint(static_cast<uint64_t>(t));
      w.U64(r.Hashes[nextHash++].second);
      w.U64(sum);
    }
  }
  if (r.Complete) {
    uint64_t sum = Fnv1aOf(w.Bytes().data() + chunk, w.Bytes().size() - chunk);
    w.U8(kEnd);
    w.Varint(static_cast<uint64_t>(r.Ticks()));
    w.U64(sum);
  }
  return std::move(w.Bytes());
}

bool ParseReplay(const std::string& bytes, Replay& out, std::string& problem) {
  if (!HasMagic(bytes, kMagic, "replay", problem)) return false;
  ByteReader in(bytes.data() + sizeof kMagic, bytes.size() - sizeof kMagic);
  Replay r;
  uint32_t version = in.U32();
  if (in.Ok() && version != 1 && version != kReplayVersion) {
    problem = "replay format version " + std::to_string(version) +
              ", this game reads versions 1 and " + std::to_string(kReplayVersion);
    return false;
  }
  in.Text(r.GameVersion, kMaxVersionText);
  r.Seed = in.U64();
  r.Width = in.I32();
  r.Height = in.I32();
  uint64_t loads = 0;
  if (in.Count(loads, 4)) {
    r.LoadReadings.resize(static_cast<size_t>(loads));
    for (float& v : r.LoadReadings) v = in.Float();
  }
  const uint64_t rounds = version >= 2 ? in.Varint() : 0;
  const uint64_t roundTicks = version >= 2 ? in.Varint() : 0;
  if (!in.Ok()) {
    problem = "truncated: the header is incomplete";
    return false;
  }
  if (r.Width < 1 || r.Width > kMaxSide || r.Height < 1 || r.Height > kMaxSide) {
    problem = "corrupted: drawing area " + std::to_string(r.Width) + " x " +
              std::to_string(r.Height) + " is not from 1 to 4096 a side";
    return false;
  }
  if (rounds > static_cast<uint64_t>(kMaxRounds) || roundTicks > INT32_MAX ||
      (rounds > 0 && roundTicks == 0)) {
    problem = "corrupted: a match of " + std::to_string(rounds) + " rounds of " +
              std::to_string(roundTicks) + " ticks (at most " + std::to_string(kMaxRounds) +
              " rounds)";
    return false;
  }
  for (char c : r.GameVersion) {
    if (c < 0x20 || c >= 0x7F) {
      problem = "corrupted: the game version holds a byte that is not printable text";
      return false;
    }
  }
  for (size_t i = 0; i < r.LoadReadings.size(); ++i) {
    if (!IsClockReading(r.LoadReadings[i])) {
      problem = "corrupted: clock reading " + std::to_string(i + 1) + " before the first tick " +
                ClockProblem(r.LoadReadings[i]);
      return false;
    }
  }
  r.Rounds = static_cast<int32_t>(rounds);
  r.RoundTicks = static_cast<int64_t>(roundTicks);

  std::vector<uint8_t> keys, lastKeys;
  std::vector<float> readings;
  uint32_t lastReading = r.LoadReadings.empty() ? 0 : Bits(r.LoadReadings.back());
  // Each checksum covers the bytes from the previous checkpoint record (or the start) on.
  size_t chunk = 0;
  size_t goodEnd = 0;  // where the last whole checkpoint ends
  int64_t goodTicks = 0;
  auto fail = [&](const std::string& what) {
    problem = what + " (at byte " + std::to_string(in.Offset(bytes)) + ", tick " +
              std::to_string(r.Ticks() + 1) + ")";
    return false;
  };
  while (in.Left() > 0) {
    const uint8_t tag = in.U8();
    if (tag == kNewKeys || tag == kSameKeys) {
      if (tag == kNewKeys) {
        uint8_t n = in.U8();
        lastKeys.clear();
        for (uint8_t i = 0; i < n && in.Ok(); ++i) lastKeys.push_back(in.U8());
        if (!std::is_sorted(lastKeys.begin(), lastKeys.end()) && in.Ok())
          return fail("corrupted: keys out of order");
      }
      uint64_t n = 0;
      if (!in.Count(n, 1)) break;
      readings.clear();
      for (uint64_t i = 0; i < n && in.Ok(); ++i) {
        uint32_t now = 0;
        if (!Unzigzag(in.Varint(), lastReading, now) && in.Ok())
          return fail("corrupted: a clock reading out of range");
        if (!IsClockReading(FromBits(now)) && in.Ok())
          return fail("corrupted: a clock reading " + ClockProblem(FromBits(now)));
        lastReading = now;
        readings.push_back(FromBits(now));
      }
      if (!in.Ok()) break;
      if (r.Ticks() >= INT32_MAX) return fail("corrupted: too many ticks");
      r.AddTick(lastKeys, readings);
    } else if (tag == kCheckpoint || tag == kEnd) {
      const size_t at = in.Offset(bytes) - 1;
      uint64_t tick = in.Varint();
      uint64_t hash = tag == kCheckpoint ? in.U64() : 0;
      uint64_t sum = in.U64();
      if (!in.Ok()) break;
      if (sum != Fnv1aOf(bytes.data() + chunk, at - chunk))
        return fail("corrupted: checksum mismatch");
      if (tick != static_cast<uint64_t>(r.Ticks()))
        return fail("corrupted: a checkpoint in the wrong place");
      if (tag == kEnd) {
        if (in.Left() != 0) return fail("corrupted: bytes after the end");
        r.Complete = true;
        out = std::move(r);
        return true;
      }
      r.Hashes.emplace_back(static_cast<int64_t>(tick), hash);
      chunk = at;
      goodEnd = in.Offset(bytes);
      goodTicks = r.Ticks();
    } else {
      return fail("corrupted: unknown record " + std::to_string(tag));
    }
  }
  if (in.Ok() && goodEnd == bytes.size()) {
    // Cut short after a checkpoint: what it holds is whole and checked.
    r.Complete = false;
    out = std::move(r);
    return true;
  }
  problem = "truncated at byte " + std::to_string(bytes.size()) +
            " (the last whole second ends at tick " + std::to_string(goodTicks) + ")";
  return false;
}

}  // namespace tb
