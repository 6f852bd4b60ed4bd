#include "shell/Replay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "shell/Bytes.h"
#include "shell/WorldHash.h"

namespace tb {

namespace {

constexpr char kMagic[8] = {'T', 'B', 'R', 'E', 'P', 'L', 'A', 'Y'};
enum Record : uint8_t { kNewKeys = 1, kSameKeys = 2, kCheckpoint = 3, kEnd = 4 };
constexpr size_t kMaxVersionText = 256;
constexpr int32_t kMaxSide = 4096;

uint32_t Bits(float v) {
  uint32_t b = 0;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

float FromBits(uint32_t b) {
  float v = 0;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

// Readings follow one another closely: each is written as the zigzag difference of its bit
// pattern from the one before, mostly a single byte.
uint64_t Zigzag(uint32_t now, uint32_t before) {
  int64_t d = static_cast<int64_t>(now) - static_cast<int64_t>(before);
  return d >= 0 ? static_cast<uint64_t>(d) * 2 : static_cast<uint64_t>(-d) * 2 - 1;
}

bool Unzigzag(uint64_t z, uint32_t before, uint32_t& now) {
  int64_t d = (z & 1) ? -static_cast<int64_t>((z + 1) / 2) : static_cast<int64_t>(z / 2);
  if (z > (uint64_t{1} << 33)) return false;
  int64_t v = static_cast<int64_t>(before) + d;
  if (v < 0 || v > static_cast<int64_t>(UINT32_MAX)) return false;
  now = static_cast<uint32_t>(v);
  return true;
}

void WriteHeader(ByteWriter& w, const Replay& r) {
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
void WriteTick(ByteWriter& w, const std::vector<uint8_t>& keys, const std::vector<float>& readings,
               std::vector<uint8_t>& lastKeys, uint32_t& lastReading) {
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

ReplayWriter::~ReplayWriter() { Close(); }

bool ReplayWriter::Open(const std::string& path, const Replay& header, std::string& problem) {
  Close();
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    problem = std::string("cannot be written: ") + std::strerror(errno);
    return false;
  }
  inMemory_ = false;
  Begin(header);
  if (!Flush()) {
    problem = std::string("cannot be written: ") + std::strerror(errno);
    return false;
  }
  return true;
}

void ReplayWriter::OpenInMemory(const Replay& header, size_t limit) {
  Close();
  inMemory_ = true;
  memory_.clear();
  memoryLimit_ = limit;
  Begin(header);
  Flush();
}

void ReplayWriter::Begin(const Replay& header) {
  ByteWriter w;
  WriteHeader(w, header);
  pending_.clear();
  sum_ = Fnv1a();
  Append(w.Bytes());
  lastKeys_.clear();
  lastReading_ = header.LoadReadings.empty() ? 0 : Bits(header.LoadReadings.back());
  ticks_ = 0;
  failed_ = false;
}

bool ReplayWriter::MemoryFile(std::string& bytes) const {
  if (failed_) return false;
  bytes = memory_ + pending_ + EndRecord();
  return true;
}

std::string ReplayWriter::EndRecord() const {
  ByteWriter w;
  w.U8(kEnd);
  w.Varint(static_cast<uint64_t>(ticks_));
  w.U64(sum_.Value());
  return std::move(w.Bytes());
}

void ReplayWriter::Tick(const std::vector<uint8_t>& keys, const std::vector<float>& readings) {
  if (!IsOpen()) return;
  ByteWriter w;
  WriteTick(w, keys, readings, lastKeys_, lastReading_);
  Append(w.Bytes());
  ++ticks_;
}

void ReplayWriter::Checkpoint(int64_t tick, uint64_t hash) {
  if (!IsOpen()) return;
  ByteWriter w;
  w.U8(kCheckpoint);
  w.Varint(static_cast<uint64_t>(tick));
  w.U64(hash);
  w.U64(sum_.Value());
  sum_ = Fnv1a();
  Append(w.Bytes());
  Flush();
}

void ReplayWriter::Append(const std::string& bytes) {
  pending_ += bytes;
  sum_.Bytes(bytes.data(), bytes.size());
}

bool ReplayWriter::Flush() {
  if (inMemory_) {
    if (memory_.size() + pending_.size() > memoryLimit_) failed_ = true;
    if (!failed_) memory_ += pending_;
    pending_.clear();
    return !failed_;
  }
  if (file_ == nullptr) return false;
  if (!pending_.empty() &&
      std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size())
    failed_ = true;
  if (std::fflush(file_) != 0) failed_ = true;
  pending_.clear();
  return !failed_;
}

bool ReplayWriter::Close() {
  if (inMemory_) {
    inMemory_ = false;
    memory_.clear();
    pending_.clear();
    return !failed_;
  }
  if (file_ == nullptr) return !failed_;
  pending_ += EndRecord();
  Flush();
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

bool RecordingKeys::IsKeyDown(uint8_t virtualKey) const {
  bool down = inner_.IsKeyDown(virtualKey);
  if (down && std::find(held_.begin(), held_.end(), virtualKey) == held_.end())
    held_.push_back(virtualKey);
  return down;
}

std::vector<uint8_t> RecordingKeys::TakeHeld() {
  std::vector<uint8_t> held;
  held.swap(held_);
  std::sort(held.begin(), held.end());
  return held;
}

std::vector<float> RecordingClock::TakeReadings() {
  std::vector<float> readings;
  readings.swap(readings_);
  return readings;
}

bool Recorder::Start(const std::string& path, const MainFrm& form, int32_t width, int32_t height,
                     const std::string& gameVersion, std::string& problem, int32_t rounds,
                     int64_t roundTicks) {
  Replay header;
  header.Rounds = rounds;
  header.RoundTicks = roundTicks;
  header.GameVersion = gameVersion;
  header.Seed = const_cast<MainFrm&>(form).Random().SaveState();
  header.Width = width;
  header.Height = height;
  header.LoadReadings = clock_.TakeReadings();
  keys_.TakeHeld();
  tick_ = 0;
  return writer_.Open(path, header, problem);
}

void Recorder::EndTick(const MainFrm& form) {
  writer_.Tick(keys_.TakeHeld(), clock_.TakeReadings());
  ++tick_;
  if (tick_ % kCheckpointTicks == 0) writer_.Checkpoint(tick_, WorldHash(form));
}

ReplayPlayer::ReplayPlayer(Replay replay) : replay_(std::move(replay)) {}

bool ReplayPlayer::HeldKeys::IsKeyDown(uint8_t virtualKey) const {
  return std::binary_search(begin_, end_, virtualKey);
}

float ReplayPlayer::Readings::Now() {
  if (next_ == end_) {
    // The game reads the clock more often than the recording did: it has left the match.
    overrun_ = true;
    return last_;
  }
  last_ = *next_++;
  return last_;
}

void ReplayPlayer::Feed(int64_t tick) {
  if (tick == 0) {
    clock_.next_ = replay_.LoadReadings.data();
    clock_.end_ = clock_.next_ + replay_.LoadReadings.size();
    keys_.begin_ = keys_.end_ = nullptr;
  } else {
    const size_t t = static_cast<size_t>(tick);
    keys_.begin_ = replay_.Keys.data() + replay_.KeyStart[t - 1];
    keys_.end_ = replay_.Keys.data() + replay_.KeyStart[t];
    clock_.next_ = replay_.Readings.data() + replay_.ReadingStart[t - 1];
    clock_.end_ = replay_.Readings.data() + replay_.ReadingStart[t];
  }
  clock_.overrun_ = false;
}

void ReplayPlayer::Start(MainFrm& form) {
  Feed(0);
  form.Load();
  random_.RestoreState(replay_.Seed);
  tick_ = 0;
  nextHash_ = 0;
  snapshots_.clear();
  snapshots_.push_back(form.TakeSnapshot());
  rulesAt_.clear();
  if (rules_ != nullptr) rulesAt_.push_back(rules_->Save());
}

bool ReplayPlayer::Step(MainFrm& form, std::string& problem) {
  if (AtEnd()) return true;
  const int64_t tick = tick_ + 1;
  Feed(tick);
  if (rules_ != nullptr) {
    rules_->PlayTick(form);
  } else {
    form.Timer1Tick();
  }
  tick_ = tick;
  if (clock_.overrun_ || clock_.next_ != clock_.end_) {
    problem = "the game differs from the recording at tick " + std::to_string(tick) +
              ": it read the clock a different number of times";
    return false;
  }
  if (nextHash_ < replay_.Hashes.size() && replay_.Hashes[nextHash_].first == tick) {
    uint64_t recorded = replay_.Hashes[nextHash_++].second;
    uint64_t hash = WorldHash(form);
    if (hash != recorded) {
      problem = "the game differs from the recording by tick " + std::to_string(tick) +
                " (world hash " + HashHex(hash) + ", recorded " + HashHex(recorded) +
                "); it agreed at tick " + std::to_string(tick - kCheckpointTicks);
      return false;
    }
  }
  if (tick % kSnapshotTicks == 0 &&
      static_cast<int64_t>(snapshots_.size()) == tick / kSnapshotTicks) {
    snapshots_.push_back(form.TakeSnapshot());
    if (rules_ != nullptr) rulesAt_.push_back(rules_->Save());
  }
  return true;
}

bool ReplayPlayer::SeekTo(MainFrm& form, int64_t tick, std::string& problem) {
  tick = std::clamp<int64_t>(tick, 0, replay_.Ticks());
  if (tick < tick_) {
    size_t i = std::min(static_cast<size_t>(tick / kSnapshotTicks), snapshots_.size() - 1);
    form.RestoreSnapshot(snapshots_[i]);
    if (rules_ != nullptr && i < rulesAt_.size()) rules_->Restore(rulesAt_[i]);
    tick_ = static_cast<int64_t>(i) * kSnapshotTicks;
    nextHash_ = 0;
    while (nextHash_ < replay_.Hashes.size() && replay_.Hashes[nextHash_].first <= tick_)
      ++nextHash_;
  }
  while (tick_ < tick) {
    if (!Step(form, problem)) return false;
  }
  return true;
}

}  // namespace tb
