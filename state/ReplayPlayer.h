#pragma once
// Playing a replay back: the recorded keys and clock readings fed to a window, checked
// against the recorded world hashes.
#include <cstdint>
#include <string>
#include <vector>

#include "match/Tick.h"
#include "shell/MainFrm.h"
#include "shell/Platform.h"
#include "shell/Random.h"
#include "state/Replay.h"
#include "state/Snapshot.h"

namespace tb {

// Feeds a replay to a window and checks it makes the recorded game. Build the window on
// Keys(), GameClock() and Random(), then call Start.
class ReplayPlayer {
 public:
  explicit ReplayPlayer(Replay replay);
  // What the window is built on: the recorded keys, clock readings and generator.
  KeyState& Keys() { return keys_; }
  Clock& GameClock() { return clock_; }
  RandomSource& Random() { return random_; }
  const Replay& Data() const { return replay_; }  // the replay played

  // The rules the recording played under (its rounds), or none; before Start.
  void SetRules(TickRules* rules) { rules_ = rules; }
  // Loads the window as the recording did.
  void Start(MainFrm& form);
  int64_t Tick() const { return tick_; }  // ticks played so far
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
