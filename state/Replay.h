#pragma once
// Recorded matches. A replay holds what the game read from the outside world: the random
// generator's state once loaded, and per tick the keys found held and every clock reading,
// in order. Fed back, they make the same game; a world hash every 50 ticks proves it.
#include <cstdint>
#include <string>
#include <vector>

namespace tb {

// The replay file's format version (2 adds the rounds of the match); files of version 1 are
// read too, any other is refused.
inline constexpr uint32_t kReplayVersion = 2;
// A world hash is written after every this many ticks, and the file flushed with it.
inline constexpr int64_t kCheckpointTicks = 50;

// A whole replay in memory.
struct Replay {
  std::string GameVersion;  // of the game that recorded it
  uint64_t Seed = 0;        // the generator's state as loaded
  int32_t Width = 0;        // the drawing area
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
  // Appends the next tick's keys and readings.
  void AddTick(const std::vector<uint8_t>& keys, const std::vector<float>& readings);
};

// Parses a whole replay file. False with a one-line description of the problem. A file that
// stops right after a checkpoint without its end (the game crashed) is read as far as it goes.
bool ParseReplay(const std::string& bytes, Replay& replay, std::string& problem);
// The whole file at once, for tests.
std::string SerializeReplay(const Replay& replay);

}  // namespace tb
