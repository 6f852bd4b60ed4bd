#pragma once
// The game window driven by an online match instead of the local keyboard alone: the
// waiting room first, then the match; Enter starts it on the host, Escape leaves.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/ScreenText.h"
#include "net/Session.h"
#include "platform/SdlGame.h"

namespace tb {

// How the online target talks to the player besides the game's picture; all optional.
struct OnlineScreen {
  screen::OnlineInfo info;
  ScreenLayer* layer = nullptr;        // the on-screen text
  Surface* caption = nullptr;          // the window title, for a join that fails here
  int64_t joinTimeoutUs = 10'000'000;  // a joiner not let in by then gives up
  std::function<int64_t()> nowUs;      // microseconds since the start; the steady clock if unset
};

class OnlineTarget final : public TickTarget {
 public:
  // `startWith` players connected start the host's match without Enter (0: never), for tests.
  OnlineTarget(net::Session& session, const KeyState& keys, int startWith = 0,
               OnlineScreen screen = {});
  // One frame of the session, its notices told, the layer filled.
  void Tick() override;
  // Enter starts the match on the host, Escape leaves.
  void KeyDown(uint16_t keyCode, int shift) override;
  // Whether Escape was pressed.
  bool Closed() const override { return closed_; }
  // Why joining failed, "" while it has not: the program then ends with a failure.
  const std::string& JoinFailure() const { return joinFailure_; }
  // Work done after the session's own on every frame (router and local network answers).
  void EveryFrame(std::function<void()> work) { everyFrame_.push_back(std::move(work)); }

 private:
  int64_t Now() const;
  void FailJoin(const std::string& why);
  void Show();

  net::Session& session_;
  const KeyState& keys_;
  std::chrono::steady_clock::time_point start_;
  int startWith_;
  OnlineScreen screen_;
  bool closed_ = false;
  bool admitted_ = false;  // the host let us in (or we are the host)
  std::string joinFailure_;
  std::vector<std::function<void()>> everyFrame_;
};

}  // namespace tb
