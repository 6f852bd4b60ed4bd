#pragma once
// Recorded matches. A replay holds what the game read from the outside world: the random
// generator's state once loaded, and per tick the keys found held and every clock reading,
// in order. Fed back, they make the same game; a world hash every 50 ticks proves it.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "shell/MainFrm.h"
#include "shell/Platform.h"
#include "shell/Random.h"
#include "shell/Snapshot.h"
#include "shell/WorldHash.h"

namespace tb {

// The replay file's format version (2 adds the rounds of the match); files of version 1 are
// read too, any other is refused.
inline constexpr uint32_t kReplayVersion = 2;
// A match has at most this many rounds.
inline constexpr int32_t kMaxRounds = 99;
// A world hash is written after every this many ticks, and the file flushed with it.
inline constexpr int64_t kCheckpointTicks = 50;

struct Replay {
  std::string GameVersion;
  uint64_t Seed = 0;  // the generator's state as loaded
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<float> LoadReadings;  // clock readings made before the first tick
  int32_t Rounds = 0;               // rounds of the match; 0: none, the game never ends
  int64_t RoundTicks = 0;           // the longest a round lasts, when there are rounds
  // Per tick t (from 1): keys Keys[KeyStart[t-1] .. KeyStart[t]), readings likewise.
  std::vector<uint8_t> Keys;
  std::vector<uint32_t> KeyStart{0};
  std::vector<float> Readings;
  std::vector<uint32_t> ReadingStart{0};
  std::vector<std::pair<int64_t, uint64_t>> Hashes;  // tick, world hash after it
  bool Complete = false;                             // closed cleanly, not cut short by a crash

  int64_t Ticks() const { return static_cast<int64_t>(KeyStart.size()) - 1; }
  void AddTick(const std::vector<uint8_t>& keys, const std::vector<float>& readings);
};

// Parses a whole replay file. False with a one-line description of the problem. A file that
// stops right after a checkpoint without its end (the game crashed) is read as far as it goes.
bool ParseReplay(const std::string& bytes, Replay& replay, std::string& problem);
// The whole file at once, for tests.
std::string SerializeReplay(const Replay& replay);

// Writes a replay as the game goes: whole checkpoints at a time, so that a crash leaves a
// readable file that lacks at most the last second.
class ReplayWriter {
 public:
  ReplayWriter() = default;
  ~ReplayWriter();
  ReplayWriter(const ReplayWriter&) = delete;
  ReplayWriter& operator=(const ReplayWriter&) = delete;

  // Creates the file and writes the header; false with the problem if it cannot.
  bool Open(const std::string& path, const Replay& header, std::string& problem);
  // Keeps the replay in memory instead, up to `limit` bytes; beyond, it stops keeping.
  void OpenInMemory(const Replay& header, size_t limit);
  // What is kept in memory as a whole replay file ending after the last tick written; false
  // when it outgrew its limit.
  bool MemoryFile(std::string& bytes) const;
  void Tick(const std::vector<uint8_t>& keys, const std::vector<float>& readings);
  // The world hash after the tick just written; flushes the file.
  void Checkpoint(int64_t tick, uint64_t hash);
  // Writes the end and closes; false if anything could not be written.
  bool Close();
  bool IsOpen() const { return file_ != nullptr || inMemory_; }
  int64_t Ticks() const { return ticks_; }

 private:
  // Starts a replay with its header, wherever it goes.
  void Begin(const Replay& header);
  void Append(const std::string& bytes);
  bool Flush();
  std::string EndRecord() const;
  std::FILE* file_ = nullptr;
  bool inMemory_ = false;
  std::string memory_;  // the file so far, when kept in memory
  size_t memoryLimit_ = 0;
  std::string pending_;  // written out at each checkpoint
  Fnv1a sum_;            // of the bytes since the last checkpoint record began
  std::vector<uint8_t> lastKeys_;
  uint32_t lastReading_ = 0;
  int64_t ticks_ = 0;
  bool failed_ = false;
};

// The recording decorators: they pass everything through and note what the game read.
class RecordingKeys final : public KeyState {
 public:
  explicit RecordingKeys(KeyState& inner) : inner_(inner) {}
  bool IsKeyDown(uint8_t virtualKey) const override;
  // The keys found held since the last call, in ascending order.
  std::vector<uint8_t> TakeHeld();

 private:
  KeyState& inner_;
  mutable std::vector<uint8_t> held_;
};

class RecordingClock final : public Clock {
 public:
  explicit RecordingClock(Clock& inner) : inner_(inner) {}
  float Now() override {
    float v = inner_.Now();
    readings_.push_back(v);
    return v;
  }
  std::vector<float> TakeReadings();

 private:
  Clock& inner_;
  std::vector<float> readings_;
};

// Records a game played on a RecordingKeys and a RecordingClock.
class Recorder {
 public:
  Recorder(RecordingKeys& keys, RecordingClock& clock) : keys_(keys), clock_(clock) {}
  // After the window has loaded: writes the header with the generator's state.
  bool Start(const std::string& path, const MainFrm& form, int32_t width, int32_t height,
             const std::string& gameVersion, std::string& problem, int32_t rounds = 0,
             int64_t roundTicks = 0);
  // After each tick.
  void EndTick(const MainFrm& form);
  bool Finish() { return writer_.Close(); }

 private:
  RecordingKeys& keys_;
  RecordingClock& clock_;
  ReplayWriter writer_;
  int64_t tick_ = 0;
};

// What runs each tick besides the game itself (a match of rounds): it plays the tick, and its
// small state goes with every snapshot, so that going back puts it back too.
class TickRules {
 public:
  using State = std::array<int64_t, 8>;
  virtual ~TickRules() = default;
  virtual void PlayTick(MainFrm& form) = 0;
  virtual State Save() const = 0;
  virtual void Restore(const State& state) = 0;
};

// Feeds a replay to a window and checks it makes the recorded game. Build the window on
// Keys(), GameClock() and Random(), then call Start.
class ReplayPlayer {
 public:
  explicit ReplayPlayer(Replay replay);
  KeyState& Keys() { return keys_; }
  Clock& GameClock() { return clock_; }
  RandomSource& Random() { return random_; }
  const Replay& Data() const { return replay_; }

  // The rules the recording played under (its rounds), or none; before Start.
  void SetRules(TickRules* rules) { rules_ = rules; }
  // Loads the window as the recording did.
  void Start(MainFrm& form);
  int64_t Tick() const { return tick_; }
  bool AtEnd() const { return tick_ >= replay_.Ticks(); }
  // Plays the next tick. False, with a message naming the first tick known to differ, when
  // the game does not follow the recording.
  bool Step(MainFrm& form, std::string& problem);
  // Goes to the given tick, back through the snapshots taken on the way or forward by
  // playing; false as Step.
  bool SeekTo(MainFrm& form, int64_t tick, std::string& problem);
  // A snapshot is kept every this many ticks for going back.
  static constexpr int64_t kSnapshotTicks = 250;

 private:
  class HeldKeys final : public KeyState {
   public:
    bool IsKeyDown(uint8_t virtualKey) const override;
    const uint8_t* begin_ = nullptr;
    const uint8_t* end_ = nullptr;
  };
  class Readings final : public Clock {
   public:
    float Now() override;
    const float* next_ = nullptr;
    const float* end_ = nullptr;
    float last_ = 0;
    bool overrun_ = false;
  };
  void Feed(int64_t tick);

  Replay replay_;
  HeldKeys keys_;
  Readings clock_;
  Pcg32 random_{0, true};
  int64_t tick_ = 0;
  size_t nextHash_ = 0;
  TickRules* rules_ = nullptr;
  std::vector<Snapshot> snapshots_;        // at ticks 0, 250, 500, ...
  std::vector<TickRules::State> rulesAt_;  // the rules' state with each snapshot
};

}  // namespace tb
