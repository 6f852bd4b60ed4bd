#include "app/OnlineGame.h"

#include <iostream>

#include "platform/SdlKeys.h"

namespace tb {

OnlineTarget::OnlineTarget(net::Session& session, const KeyState& keys)
    : session_(session), keys_(keys), start_(std::chrono::steady_clock::now()) {}

void OnlineTarget::Tick() {
  auto now = std::chrono::steady_clock::now() - start_;
  session_.Frame(std::chrono::duration_cast<std::chrono::microseconds>(now).count(), keys_);
  for (const std::string& line : session_.TakeNotices())
    std::cerr << "treadbrawl: " << line << '\n';
}

void OnlineTarget::KeyDown(uint16_t keyCode, int /*shift*/) {
  if (keyCode == vk::kEscape) closed_ = true;
  if (keyCode == vk::kReturn) session_.Start();
}

}  // namespace tb
