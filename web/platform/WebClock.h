#pragma once
// The game clock in a page: the local time of day when the page started, then counted on by
// the browser's monotonic clock, so it never jumps and runs past 86400 at midnight.
#include "shell/Platform.h"

namespace tb {

class WebClock final : public Clock {
 public:
  WebClock();
  float Now() override;

 private:
  double start_;   // seconds since local midnight at the start
  double origin_;  // the monotonic clock then, in milliseconds
};

}  // namespace tb
