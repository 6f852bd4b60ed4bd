#include "app/OnlineGame.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/SdlKeys.h"

namespace tb {

std::string ReplayFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  const char* home = std::getenv("HOME");
  std::filesystem::path folder;
  if (state != nullptr && state[0] == '/') {
    folder = std::filesystem::path(state) / "treadbrawl";
  } else if (home != nullptr && home[0] == '/') {
    folder = std::filesystem::path(home) / ".local" / "state" / "treadbrawl";
  } else {
    return ".";
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) return ".";
  return folder.string();
}

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
}

void OnlineTarget::KeyDown(uint16_t keyCode, int /*shift*/) {
  if (keyCode == vk::kEscape) closed_ = true;
  if (keyCode == vk::kReturn) session_.Start();
}

}  // namespace tb
