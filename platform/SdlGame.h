#pragma once
// The game's window and frame loop: a tick every 20 ms, the picture shown as large as the
// window allows, Escape and the close button end it.
#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/GameLoop.h"
#include "platform/ScreenLayer.h"
#include "platform/TickSchedule.h"
#include "platform/WindowPlacement.h"

namespace tb {

class SdlKeyState;

// How the window behaves: developer switches, and how the picture is enlarged.
struct GameOptions {
  long maxTicks = 0;        // stop after this many ticks; 0: until closed
  std::string tickLogPath;  // where each tick's start time in microseconds is appended
  ScaleMode scale = ScaleMode::kFit;
};

// Whether a video driver that shows nothing may be used: only when SDL_VIDEODRIVER
// (requested, may be null) names it.
bool HeadlessDriverAllowed(const std::string& driver, const char* requested);

// The window's icon: rows top down, four bytes a pixel (red, green, blue, alpha); empty for
// none.
struct WindowIcon {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
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
  // image of this size, with this icon. False, with Error() set, when there is no display.
  bool Open(int imageWidth, int imageHeight, const std::string& caption,
            const WindowIcon& icon = {});
  const std::string& Error() const { return error_; }

  // Ticks until the game closes, the window is closed or the tick limit is reached. Key-down
  // events go to the game, controller events to keys (may be null). Returns the exit status.
  int Run(TickTarget& game, const Picture& image, SdlKeyState* keys);
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
  bool Present(const Picture& image);
  // Draws the picture sharply at a whole multiple into sharp_; false when that cannot be done.
  bool SharpenInto(int scale);
  void ToggleFullScreen();
  void SetIcon(const WindowIcon& icon);
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
