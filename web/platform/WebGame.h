#pragma once
// The game's page: a tick every 20 ms on the browser's animation frames, with the desktop's
// catch-up rule; the picture drawn on the page's canvas as large as the tab allows, with the
// desktop's fit or whole rule; key and gamepad events to the keys and the game.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/GameLoop.h"
#include "platform/TickSchedule.h"
#include "platform/WindowPlacement.h"

namespace tb {

class WebKeyState;

// How the page behaves.
struct WebGameOptions {
  ScaleMode scale = ScaleMode::kFit;
  long maxTicks = 0;  // stop after this many ticks; 0: until Escape
  bool fast = false;  // play maxTicks at once, unpaced (measuring and testing)
};

class WebGame {
 public:
  explicit WebGame(WebGameOptions options = {}) : options_(options) {}
  WebGame(const WebGame&) = delete;
  WebGame& operator=(const WebGame&) = delete;

  // Starts the loop and returns at once: from here the browser drives the game, which must
  // outlive the page. Key events go to `keys` (may be null) and to the game.
  void Run(TickTarget& game, const Picture& image, WebKeyState* keys);
  long TicksRun() const { return ticksRun_; }
  // Time spent in the game's ticks so far, in milliseconds (the drawing of the picture
  // included, its showing on the page not).
  double TickMilliseconds() const { return tickMilliseconds_; }
  // Whether the loop has ended: Escape, or the tick limit.
  bool Stopped() const { return stopped_; }

  // A key event: its place, what it types, the shift state, and whether Ctrl, Alt or Meta
  // is held. True when the key is the game's, so that the page does nothing else with it.
  bool HandleKey(bool down, const std::string& code, const std::string& key, int shift,
                 bool withCommandKey);
  // The page lost the focus: no key stays held.
  void LostFocus();

 private:
  static int OnFrame(double time, void* self);
  // One animation frame: the ticks due, then the picture. False once the loop ends.
  bool Frame();
  void PlayOneTick();
  void Present();
  void Stop();
  void ListenToInput();

  WebGameOptions options_;
  TickTarget* game_ = nullptr;
  const Picture* image_ = nullptr;
  WebKeyState* keys_ = nullptr;
  TickSchedule schedule_{SteadyTime{}};
  std::vector<uint32_t> opaque_;  // the picture with its alpha byte set, for the canvas
  long ticksRun_ = 0;
  double tickMilliseconds_ = 0;
  bool stopped_ = false;
};

}  // namespace tb
