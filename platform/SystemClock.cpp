#include "platform/SystemClock.h"

#include <ctime>
#include <utility>

namespace tb {

SystemClock::SystemClock() : SystemClock(LocalSecondsOfDay()) {}

SystemClock::SystemClock(double startSecondsOfDay, Ticker ticker)
    : start_(startSecondsOfDay), ticker_(std::move(ticker)), origin_(ticker_()) {}

float SystemClock::Now() {
  std::chrono::duration<double> elapsed = ticker_() - origin_;
  return static_cast<float>(start_ + elapsed.count());
}

double SystemClock::LocalSecondsOfDay() {
  using std::chrono::system_clock;
  system_clock::time_point now = system_clock::now();
  std::time_t whole = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&whole, &local);
  double fraction = std::chrono::duration<double>(now - system_clock::from_time_t(whole)).count();
  // to_time_t may round rather than truncate; keep the fraction inside its second.
  if (fraction < 0.0 || fraction >= 1.0) fraction = 0.0;
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction;
}

}  // namespace tb
