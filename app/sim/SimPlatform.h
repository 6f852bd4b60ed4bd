#pragma once
// Injected stand-ins for the outside world, so that a run depends on its arguments only.
#include <cstdint>
#include <string>
#include <vector>

#include "app/sim/Script.h"
#include "match/TickClock.h"
#include "shell/Platform.h"

namespace tb::sim {

// The keys held on the current tick, as the script says.
class ScriptedKeys final : public KeyState {
 public:
  void Set(const KeySet& held) { held_ = held; }
  void Press(uint8_t key) { held_.set(key); }
  void ReleaseAll() { held_.reset(); }
  bool IsKeyDown(uint8_t virtualKey) const override { return held_.test(virtualKey); }

 private:
  KeySet held_;
};

struct SoundEvent {
  int64_t tick = 0;
  std::string path;
};

// Plays nothing; remembers what would have been played, and on which tick.
class RecordingSoundPlayer final : public SoundPlayer {
 public:
  void SetTick(int64_t tick) { tick_ = tick; }
  void PlaySoundFile(const std::string& path) override { log_.push_back({tick_, path}); }
  const std::vector<SoundEvent>& Log() const { return log_; }
  // Long runs print and forget the log tick by tick rather than keep it all.
  void Clear() { log_.clear(); }

 private:
  int64_t tick_ = 0;
  std::vector<SoundEvent> log_;
};

using SimClock = TickClock;

}  // namespace tb::sim
