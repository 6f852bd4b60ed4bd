#include "app/OnlineGame.h"

#include <cstdlib>
#include <iostream>

#include "platform/SdlKeys.h"

namespace tb {

OnlineTarget::OnlineTarget(net::Session& session, const KeyState& keys, int startWith,
                           OnlineScreen screen)
    : session_(session),
      keys_(keys),
      start_(std::chrono::steady_clock::now()),
      startWith_(startWith),
      screen_(std::move(screen)) {}

int64_t OnlineTarget::Now() const {
  if (screen_.nowUs) return screen_.nowUs();
  auto since = std::chrono::steady_clock::now() - start_;
  return std::chrono::duration_cast<std::chrono::microseconds>(since).count();
}

void OnlineTarget::FailJoin(const std::string& why) {
  joinFailure_ = why;
  std::cerr << "treadbrawl: " << why << std::endl;
  if (screen_.caption != nullptr) screen_.caption->SetCaption("Treadbrawl online: " + why);
}

void OnlineTarget::Tick() {
  if (joinFailure_.empty()) {
    const int64_t now = Now();
    session_.Frame(now, keys_);
    if (startWith_ > 0 && session_.State() == net::Phase::Waiting &&
        __builtin_popcount(session_.TakenSeats()) >= startWith_)
      session_.Start();
    const net::Phase phase = session_.State();
    admitted_ = admitted_ || phase == net::Phase::Waiting || phase == net::Phase::Playing;
    for (const std::string& line : session_.TakeNotices()) {
      // A failed join is told once, below, with the rest of its story.
      if (!admitted_ && phase == net::Phase::Ended) continue;
      std::cerr << "treadbrawl: " << line << '\n';
      if (screen_.layer != nullptr) screen_.layer->Notify(line);
    }
    for (const std::function<void()>& work : everyFrame_) work();
    if (phase == net::Phase::Joining && now >= screen_.joinTimeoutUs)
      FailJoin("no answer from " + screen_.info.joinAddress +
               " (is its UDP port open, or is it behind a router?)");
    else if (phase == net::Phase::Ended && !admitted_)
      FailJoin(session_.EndReason());
  }
  Show();
}

void OnlineTarget::Show() {
  if (screen_.layer == nullptr) return;
  LayerContent& out = screen_.layer->Content();
  out.Clear();
  if (!joinFailure_.empty()) {
    out.banner.push_back({joinFailure_, 0xFFFFFF});
    out.banner.push_back({"Escape closes the window", 0xA0A0A0});
    return;
  }
  screen::AddOnline(session_, screen_.info, out);
  if (session_.LocalSeats() != 0) out.help = screen::HelpLines(session_.LocalSeats());
}

void OnlineTarget::KeyDown(uint16_t keyCode, int /*shift*/) {
  if (keyCode == vk::kEscape) closed_ = true;
  if (keyCode == vk::kReturn && joinFailure_.empty()) session_.Start();
}

}  // namespace tb
