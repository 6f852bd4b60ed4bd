#include "app/front/MenuTarget.h"

#include "platform/ScreenLayer.h"
#include "platform/SdlKeys.h"

namespace tb::front {

namespace {
constexpr uint32_t kTitleColour = 0xFFFFFF, kChosen = 0xFFD860, kNotice = 0xFF9A60,
                   kHint = 0x9A9A9A;
}

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
  out.Clear();
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
    out.banner.push_back(
        {"Leave the match? Escape again leaves, any other key plays on", 0xFFD860});
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

}  // namespace tb::front
