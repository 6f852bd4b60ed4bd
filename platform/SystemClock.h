#pragma once
// The game clock: the local time of day when the game started, then counted on by a
// monotonic clock, so it never jumps with clock changes and runs past 86400 at midnight.
#include <chrono>
#include <functional>

#include "shell/Platform.h"

namespace tb {

class SystemClock final : public Clock {
 public:
  using Ticker = std::function<std::chrono::steady_clock::time_point()>;

  SystemClock();
  // Starts at the given seconds since midnight, counting with the given ticker.
  explicit SystemClock(double startSecondsOfDay, Ticker ticker = &std::chrono::steady_clock::now);

  float Now() override;
  // Seconds since local midnight, with the fraction of the second.
  static double LocalSecondsOfDay();

 private:
  double start_;
  Ticker ticker_;
  std::chrono::steady_clock::time_point origin_;
};

}  // namespace tb
