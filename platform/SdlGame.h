#pragma once
// The game's window and frame loop: a tick every 20 ms, the raster shown as large as the
// window allows, Escape and the close button end it.
#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/ScreenLayer.h"
#include "render/Raster.h"

namespace tb {

class SdlKeyState;

// How the picture is enlarged: to the largest size that fits, or by whole multiples only.
enum class ScaleMode { kFit, kWhole };

// How the window behaves. The developer switches come from the environment:
// TREADBRAWL_MAX_TICKS=N stops after N ticks, TREADBRAWL_TICK_LOG=path appends each tick's
// start time in microseconds.
struct GameOptions {
  long maxTicks = 0;  // 0: until closed
  std::string tickLogPath;
  ScaleMode scale = ScaleMode::kFit;
  static GameOptions FromEnvironment();
};
// A positive whole number of ticks, or 0 for anything else.
long ParseTickLimit(const char* text);

// Whether a video driver that shows nothing may be used: only when SDL_VIDEODRIVER
// (requested, may be null) names it.
bool HeadlessDriverAllowed(const std::string& driver, const char* requested);

// Where the image goes in an output of the given size, centred. The picture is first
// enlarged by the whole multiple `scale` (sharp, nearest pixel); when width x height differs
// from that, a smooth step brings it to its final size, so edges stay crisp without pixels of
// uneven size. Whole mode takes the largest whole multiple that fits (at least 1). Fit mode
// takes the largest size that fits, except that a whole multiple filling at least three
// quarters of it is kept as it stands.
struct ImagePlacement {
  int scale, x, y, width, height;
  bool Smooth(int imageWidth, int imageHeight) const {
    return width != imageWidth * scale || height != imageHeight * scale;
  }
};
ImagePlacement PlaceImage(int outputWidth, int outputHeight, int imageWidth, int imageHeight,
                          ScaleMode mode);
// The size of the window's client area at start on a desktop with this usable area, leaving
// room for the window frame: the largest whole multiple that fits, or in fit mode, when that
// is less than half the desktop's height, nine tenths of the largest fit. Never below 1x.
struct WindowSize {
  int width, height;
};
WindowSize InitialWindowSize(int usableWidth, int usableHeight, int imageWidth, int imageHeight,
                             ScaleMode mode);

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

// A controller's buttons as menus read them: d-pad or stick directions, A and B.
enum class PadButton { kUp, kDown, kLeft, kRight, kA, kB };
// The direction a stick has just been pushed into across its dead zone, if any: one press per
// push, as a d-pad gives.
bool StickCrossed(int16_t before, int16_t now, bool horizontal, PadButton& out);

// What the loop drives.
class TickTarget {
 public:
  virtual ~TickTarget() = default;
  virtual void Tick() = 0;
  virtual void KeyDown(uint16_t keyCode, int shift) = 0;
  virtual bool Closed() const = 0;
  // Text typed, UTF-8; only menus want it.
  virtual void TextInput(const std::string&) {}
  // A controller button pressed; only menus want it, a match reads controllers as keys.
  virtual void PadPressed(PadButton) {}
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
  // image of this size, with the game's icon. False, with Error() set, when there is no
  // display.
  bool Open(int imageWidth, int imageHeight, const std::string& caption);
  const std::string& Error() const { return error_; }

  // Ticks until the game closes, the window is closed or the tick limit is reached. Key-down
  // events go to the game, controller events to keys (may be null). Returns the exit status.
  int Run(TickTarget& game, const Raster& image, SdlKeyState* keys);
  long TicksRun() const { return ticksRun_; }
  SDL_Window* Window() const { return window_; }
  bool FullScreen() const;
  // Goes full screen or back to the window.
  void SetFullScreen(bool on) {
    if (window_ != nullptr && on != FullScreen()) ToggleFullScreen();
  }
  // Whether the window's close button has been pressed: nothing more should run.
  bool CloseRequested() const { return quit_; }
  // How the picture is enlarged from now on.
  void SetScale(ScaleMode mode) { options_.scale = mode; }
  // Text drawn over each presented frame at the output's resolution (null: none).
  void SetLayer(ScreenLayer* layer) { layer_ = layer; }

 private:
  void HandleEvent(const SDL_Event& event, TickTarget& game, SdlKeyState* keys);
  bool Present(const Raster& image);
  // Draws the picture sharply at a whole multiple into sharp_; false when that cannot be done.
  bool SharpenInto(int scale);
  void ToggleFullScreen();
  void SetIcon();
  void FlushTickLog();

  GameOptions options_;
  std::string error_;
  uint32_t subsystems_ = 0;  // the ones we started, to stop them again
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int textureWidth_ = 0;
  int textureHeight_ = 0;
  Uint32 textureFormat_ = 0;
  SDL_Texture* sharp_ = nullptr;  // the picture at a whole multiple, for the smooth step
  int sharpScale_ = 0;
  SDL_Rect windowed_{0, 0, 0, 0};  // where the window was before full screen
  bool covering_ = false;          // full screen made by hand, without a window manager
  std::string caption_;
  ScreenLayer* layer_ = nullptr;
  bool quit_ = false;
  long ticksRun_ = 0;
  bool started_ = false;
  SteadyTime start_{};
  std::vector<int64_t> tickLog_;
  std::map<int32_t, std::pair<int16_t, int16_t>> sticks_;  // each controller's stick, x and y
};

}  // namespace tb
