#include "web/platform/WebClock.h"

#include <emscripten/emscripten.h>

extern "C" double tb_web_local_seconds_of_day();

namespace tb {

WebClock::WebClock() : start_(tb_web_local_seconds_of_day()), origin_(emscripten_get_now()) {}

float WebClock::Now() {
  return static_cast<float>(start_ + (emscripten_get_now() - origin_) / 1000.0);
}

}  // namespace tb
