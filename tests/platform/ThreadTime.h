#pragma once
// Processor time of the calling thread: the work a call costs the game's thread, which a busy
// machine (the sanitizer soaks run beside these tests) does not stretch as it stretches the
// wall clock.
#include <time.h>

#include <cstdint>

namespace tb {

inline int64_t ThreadMicros() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

}  // namespace tb
