#pragma once
// The frame loop's pacing rule, apart from any window so that every loop shares it.
#include <chrono>

namespace tb {

// Tick pacing on a 20 ms grid. A late tick keeps the grid, so the next one comes early and
// makes up the lost time, but never more than two ticks run back to back and never more than
// one period is made up: beyond that the grid starts again from the late tick.
using SteadyTime = std::chrono::steady_clock::time_point;
constexpr std::chrono::microseconds kTickPeriod{20000};
class TickSchedule {
 public:
  // The first tick is due at `start`.
  explicit TickSchedule(SteadyTime start) : due_(start) {}
  SteadyTime Due() const { return due_; }
  // A tick starts at `now`; `waited` says whether it waited for its time, false when it
  // follows the previous tick back to back. Sets the time the next tick is due.
  void Started(SteadyTime now, bool waited);

 private:
  SteadyTime due_;
};

}  // namespace tb
