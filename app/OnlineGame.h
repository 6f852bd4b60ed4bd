#pragma once
// The game window driven by an online match instead of the local keyboard alone: the
// waiting room first, then the match; Enter starts it on the host, Escape leaves.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/Session.h"
#include "platform/SdlGame.h"

namespace tb {

class OnlineTarget final : public TickTarget {
 public:
  // `startWith` players connected start the host's match without Enter (0: never), for tests.
  OnlineTarget(net::Session& session, const KeyState& keys, int startWith = 0);
  void Tick() override;
  void KeyDown(uint16_t keyCode, int shift) override;
  bool Closed() const override { return closed_; }
  // Work done after the session's own on every frame (router and local network answers).
  void EveryFrame(std::function<void()> work) { everyFrame_.push_back(std::move(work)); }

 private:
  net::Session& session_;
  const KeyState& keys_;
  std::chrono::steady_clock::time_point start_;
  int startWith_;
  bool closed_ = false;
  std::vector<std::function<void()>> everyFrame_;
};

}  // namespace tb
