#pragma once
// Sounds in a page through Web Audio: each play fetches the file it names (relative to the
// page; the browser may cache it), decodes it and starts it, cutting off the one before.
// A file that cannot be fetched or decoded plays a short alert instead.
#include <string>

#include "shell/Platform.h"

namespace tb {

class WebSoundPlayer final : public SoundPlayer {
 public:
  // With `mix`, up to 8 sounds overlap instead of one at a time.
  explicit WebSoundPlayer(bool mix = false);
  // Hands the path to the page and returns at once.
  void PlaySoundFile(const std::string& path) override;
};

}  // namespace tb
