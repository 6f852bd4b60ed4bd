#pragma once
// The game's window and frame loop: a tick every 20 ms, the raster shown scaled by whole
// pixels, Escape and the close button end it.
#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "render/Raster.h"

namespace tb {

class MainFrm;
class SdlKeyState;

// Developer switches, read from the environment: TREADBRAWL_MAX_TICKS=N stops after N
// ticks, TREADBRAWL_TICK_LOG=path appends each tick's start time in microseconds.
struct GameOptions {
  long maxTicks = 0;  // 0: until closed
  std::string tickLogPath;
  static GameOptions FromEnvironment();
};
// A positive whole number of ticks, or 0 for anything else.
long ParseTickLimit(const char* text);

// Whether a video driver that shows nothing may be used: only when SDL_VIDEODRIVER
// (requested, may be null) names it.
bool HeadlessDriverAllowed(const std::string& driver, const char* requested);

// Where the image goes in an output of the given size: the largest whole multiple that
// fits (at least 1), centred.
struct ImagePlacement {
  int scale, x, y, width, height;
};
ImagePlacement PlaceImage(int outputWidth, int outputHeight, int imageWidth, int imageHeight);
// The window's first scale: the largest whole multiple that fits the usable desktop with
// room left for the window frame.
int InitialWindowScale(int usableWidth, int usableHeight, int imageWidth, int imageHeight);

// Tick pacing: a tick on time keeps the 20 ms grid; a late one pushes the grid back, so a
// stall never turns into a burst of catch-up ticks.
using SteadyTime = std::chrono::steady_clock::time_point;
constexpr std::chrono::microseconds kTickPeriod{20000};
// Waking a little after the deadline is normal, not lateness.
constexpr std::chrono::microseconds kLateSlack{1000};
SteadyTime NextDeadline(SteadyTime deadline, SteadyTime now);

// What the loop drives.
class TickTarget {
 public:
  virtual ~TickTarget() = default;
  virtual void Tick() = 0;
  virtual void KeyDown(uint16_t keyCode, int shift) = 0;
  virtual bool Closed() const = 0;
};

class MainFrmTarget final : public TickTarget {
 public:
  explicit MainFrmTarget(MainFrm& form) : form_(form) {}
  void Tick() override;
  void KeyDown(uint16_t keyCode, int shift) override;
  bool Closed() const override;

 private:
  MainFrm& form_;
};

// Shuts every SDL subsystem down at the end of the program.
void ShutdownPlatform();

class SdlGame {
 public:
  explicit SdlGame(GameOptions options = {});
  ~SdlGame();
  SdlGame(const SdlGame&) = delete;
  SdlGame& operator=(const SdlGame&) = delete;

  // Starts SDL video (and controllers, if they will start) and opens the window for an
  // image of this size. False, with Error() set, when there is no display.
  bool Open(int imageWidth, int imageHeight, const std::string& caption);
  const std::string& Error() const { return error_; }

  // Ticks until the game closes, the window is closed or the tick limit is reached. Key-down
  // events go to the game, controller events to keys (may be null). Returns the exit status.
  int Run(TickTarget& game, const Raster& image, SdlKeyState* keys);
  long TicksRun() const { return ticksRun_; }
  SDL_Window* Window() const { return window_; }
  bool FullScreen() const;

 private:
  void HandleEvent(const SDL_Event& event, TickTarget& game, SdlKeyState* keys);
  bool Present(const Raster& image);
  void ToggleFullScreen();
  void FlushTickLog();

  GameOptions options_;
  std::string error_;
  uint32_t subsystems_ = 0;  // the ones we started, to stop them again
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int textureWidth_ = 0;
  int textureHeight_ = 0;
  std::string caption_;
  bool quit_ = false;
  long ticksRun_ = 0;
  bool started_ = false;
  SteadyTime start_{};
  std::vector<int64_t> tickLog_;
};

}  // namespace tb
