#pragma once
// Game time that moves on by exactly one frame (0.02 s) per tick and stands still within it:
// the simulator's clock and the match clock of online play, so both read the same times.
#include <cstdint>

#include "shell/Platform.h"

namespace tb {

// A Clock that reads `start` plus the current tick's time.
class TickClock final : public Clock {
 public:
  explicit TickClock(double start) : start_(start) {}  // seconds since midnight at tick 0
  void SetTick(int64_t tick) { tick_ = tick; }         // the tick now being played
  int64_t Tick() const { return tick_; }
  // Computed afresh from the tick in double, so no error builds up over a long run.
  float Now() override {
    return static_cast<float>(start_ + static_cast<double>(tick_) * kSecondsPerTick);
  }

  static constexpr double kSecondsPerTick = 0.02;  // the frame timer's 50 ticks a second

 private:
  double start_;
  int64_t tick_ = 0;
};

}  // namespace tb
