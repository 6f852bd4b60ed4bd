#pragma once
// What the game hands the platform: its picture, its icon and its players' keys in the
// platform's own terms, and the developer switches, all read here from the environment.
#include <string>

#include "platform/SdlGame.h"
#include "platform/SdlKeys.h"
#include "render/Raster.h"

namespace tb {

// The raster as the window shows it; it follows the raster through resizes.
class RasterPicture final : public Picture {
 public:
  explicit RasterPicture(const Raster& raster) : raster_(raster) {}
  const void* Pixels() const override { return raster_.Pixels(); }
  int Width() const override { return raster_.Width(); }
  int Height() const override { return raster_.Height(); }
  const std::string& Caption() const override { return raster_.Caption(); }

 private:
  const Raster& raster_;
};

// The game's icon for the window, at a size window managers commonly show.
WindowIcon GameWindowIcon();

// The four players' keys, Green first, for the controllers that play them.
PadKeyTable PlayersPadKeys();

// The developer switches: TREADBRAWL_MAX_TICKS=N stops after N ticks, TREADBRAWL_TICK_LOG=path
// appends each tick's start time in microseconds, TREADBRAWL_START_WITH=N (1 to 4) makes a host
// start its match once N players are connected.
struct DeveloperSwitches {
  GameOptions window;
  int startWith = 0;  // 0: the host waits for Enter
};
DeveloperSwitches ReadDeveloperSwitches();
// A positive whole number, or 0 for anything else (null included).
long ParsePositiveCount(const char* text);

}  // namespace tb
