#include "app/OnlineGame.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/SdlKeys.h"

namespace tb {

OnlineTarget::OnlineTarget(net::Session& session, const KeyState& keys, int startWith)
    : session_(session),
      keys_(keys),
      start_(std::chrono::steady_clock::now()),
      startWith_(startWith) {}

void OnlineTarget::Tick() {
  auto now = std::chrono::steady_clock::now() - start_;
  session_.Frame(std::chrono::duration_cast<std::chrono::microseconds>(now).count(), keys_);
  if (startWith_ > 0 && session_.State() == net::Phase::Waiting &&
      __builtin_popcount(session_.TakenSeats()) >= startWith_)
    session_.Start();
  for (const std::string& line : session_.TakeNotices())
    std::cerr << "treadbrawl: " << line << '\n';
  for (const std::function<void()>& work : everyFrame_) work();
}

void OnlineTarget::KeyDown(uint16_t keyCode, int /*shift*/) {
  if (keyCode == vk::kEscape) closed_ = true;
  if (keyCode == vk::kReturn) session_.Start();
}

}  // namespace tb
