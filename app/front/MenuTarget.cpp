#include "app/front/MenuTarget.h"

#include "platform/ScreenLayer.h"
#include "platform/SdlKeys.h"

namespace tb::front {

namespace {
constexpr uint32_t kTitleColour = 0xFFFFFF, kChosen = 0xFFD860, kNotice = 0xFF9A60,
                   kHint = 0x9A9A9A;
constexpr const char* kLeaveQuestion =
    "Leave the match? Escape again leaves, any other key plays on";
}  // namespace

std::vector<LayerLine> MenuLines(const MenuView& view) {
  std::vector<LayerLine> lines;
  lines.push_back({view.title, kTitleColour});
  lines.push_back({"", kHint});
  for (size_t i = 0; i < view.rows.size(); ++i) {
    const MenuRow& row = view.rows[i];
    if (static_cast<int>(i) == view.selected)
      lines.push_back({"\u25B8  " + row.text + "  \u25C2", kChosen});
    else
      lines.push_back({row.text, row.rgb});
  }
  lines.push_back({"", kHint});
  if (!view.notice.empty()) lines.push_back({view.notice, kNotice});
  lines.push_back({view.hint, kHint});
  return lines;
}

void MenuTarget::Tick() {
  if (layer_ == nullptr) return;
  LayerContent& out = layer_->Content();
  // The last match's score stays beside the page after it.
  if (screen_.CurrentPage() != StartScreen::Page::kAfter) out.status.clear();
  out.banner.clear(), out.lobby.clear(), out.help.clear();
  out.menu = MenuLines(screen_.View());
}

void MenuTarget::Take() {
  Outcome o = screen_.TakeOutcome();
  if (o.kind != Outcome::kNone) outcome_ = std::move(o);
}

void MenuTarget::KeyDown(uint16_t keyCode, int) {
  if (Closed() || keyCode > 0xFF) return;
  screen_.Key(static_cast<uint8_t>(keyCode));
  Take();
}

void MenuTarget::TextInput(const std::string& text) {
  if (Closed()) return;
  screen_.Text(text);
  Take();
}

void MenuTarget::PadPressed(PadButton button) {
  if (Closed()) return;
  static const PadInput inputs[] = {PadInput::kUp,    PadInput::kDown,   PadInput::kLeft,
                                    PadInput::kRight, PadInput::kAccept, PadInput::kBack};
  screen_.Pad(inputs[static_cast<int>(button)]);
  Take();
}

void GuardedTarget::Tick() {
  if (rounds_ != nullptr && rounds_->Over()) {
    ++shownOver_;  // the arena stands still under its winner
  } else if (!asking_) {
    inner_.Tick();
  }
  if (layer_ == nullptr) return;
  if (asking_) {
    LayerContent& out = layer_->Content();
    out.banner.clear();  // the match stands still meanwhile, so nothing else is lost
    out.banner.push_back({kLeaveQuestion, kChosen});
  }
}

void GuardedTarget::KeyDown(uint16_t keyCode, int shift) {
  if (keyCode == vk::kEscape) {
    if (asking_) leave_ = true;
    asking_ = true;
    return;
  }
  if (asking_) {
    asking_ = false;
    if (layer_ != nullptr) layer_->Content().banner.clear();
    return;
  }
  inner_.KeyDown(keyCode, shift);
}

void OnlineGuard::Tick() {
  inner_.Tick();
  if (session_.MatchNumber() != match_) {
    match_ = session_.MatchNumber();
    over_ = 0;
    chosen_ = 0;
  }
  if (session_.RoundsOver()) {
    if (over_ < GuardedTarget::kOverTicks) ++over_;
  } else {
    over_ = 0;
  }
  if (session_.State() != net::Phase::Playing) asking_ = false;
  if (layer_ == nullptr) return;
  LayerContent& out = layer_->Content();
  if (Choosing()) {
    MenuView view;
    view.title = "Match over";
    if (const match::Rounds* rounds = session_.MatchRounds())
      view.rows.push_back({rounds->ScoreText(), false, kTitleColour});
    view.rows.push_back({"", false, kHint});
    if (host_) {
      view.rows.push_back({"Play again", true});
      view.rows.push_back({"Back to the start screen", true});
      view.selected = 2 + chosen_;
      view.hint = "Arrows choose, Enter takes: everyone follows";
    } else {
      view.rows.push_back({"The host chooses: play again or back to the start screen", false});
      view.hint = "Escape leaves the match";
    }
    out.menu = MenuLines(view);
  }
  if (asking_) {
    out.banner.clear();
    out.banner.push_back({kLeaveQuestion, kChosen});
  }
}

void OnlineGuard::Take() {
  if (chosen_ == 1) {
    session_.GoBack();
  } else if (session_.PlayAgain(newSeed_ ? newSeed_() : 1)) {
    over_ = 0;  // the new match is on at once
    match_ = session_.MatchNumber();
  }
}

void OnlineGuard::KeyDown(uint16_t keyCode, int shift) {
  if (keyCode == vk::kEscape) {
    // Outside a match there is nothing to lose: Escape leaves at once, as before.
    if (asking_ || session_.State() != net::Phase::Playing) leave_ = true;
    asking_ = true;
    return;
  }
  if (asking_) {
    asking_ = false;
    return;
  }
  if (Choosing() && host_) {
    if (keyCode == vk::kUp || keyCode == vk::kDown) chosen_ = 1 - chosen_;
    if (keyCode == vk::kReturn) Take();
    return;
  }
  inner_.KeyDown(keyCode, shift);
}

void OnlineGuard::PadPressed(PadButton button) {
  static const uint16_t keys[] = {vk::kUp,    vk::kDown,   vk::kLeft,
                                  vk::kRight, vk::kReturn, vk::kEscape};
  // The pad drives its seat in the match; only the choices and the question take it.
  if (Choosing() || asking_) KeyDown(keys[static_cast<int>(button)], 0);
}

}  // namespace tb::front
