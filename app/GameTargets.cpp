#include "app/GameTargets.h"

#include "app/ScreenText.h"
#include "match/Tick.h"
#include "platform/SdlKeys.h"
#include "shell/Controls.h"

namespace tb {

void MatchTarget::ShowOn(ScreenLayer* layer, const match::Rounds* rounds,
                         const bots::Seats* drivers) {
  layer_ = layer;
  rounds_ = rounds;
  drivers_ = drivers;
}

void MatchTarget::Tick() {
  PlayTick(form_, rules_);
  if (recorder_ != nullptr) recorder_->EndTick(form_);
  if (layer_ == nullptr) return;
  LayerContent& out = layer_->Content();
  out.Clear();
  if (rounds_ != nullptr) screen::AddRounds(*rounds_, out);
  uint8_t people = 0x0F;
  if (drivers_ != nullptr) {
    screen::AddDrivers(drivers_->Drivers(), out);
    for (const bots::Driver& d : drivers_->Drivers())
      for (int s = 0; s < 4; ++s)
        if (d.Seat() == kPlayerKeys[s].Name) people = static_cast<uint8_t>(people & ~(1u << s));
  }
  if (people != 0) out.help = screen::HelpLines(people);
}

void ReplayTarget::Tick() {
  if (!paused_ && problem_.empty() && !player_.AtEnd()) player_.Step(form_, problem_);
  Show();
}

void ReplayTarget::Show() {
  if (layer_ == nullptr) return;
  LayerContent& out = layer_->Content();
  out.Clear();
  screen::AddReplay(player_.Tick(), player_.Data().Ticks(), paused_, out);
  if (rounds_ != nullptr) screen::AddRounds(*rounds_, out);
}

void ReplayTarget::KeyDown(uint16_t keyCode, int) {
  if (keyCode == vk::kEscape) closed_ = true;
  if (keyCode == vk::kSpace) paused_ = !paused_;
  if (!problem_.empty()) return;
  if (keyCode == vk::kRight || keyCode == vk::kLeft) {
    sound_.SetMuted(true);
    player_.SeekTo(form_, player_.Tick() + (keyCode == vk::kRight ? kSkip : -kSkip), problem_);
    sound_.SetMuted(false);
    if (layer_ != nullptr)
      layer_->Notify((keyCode == vk::kRight ? "Skipped on to " : "Skipped back to ") +
                     screen::PlayTime(player_.Tick()));
  }
}

}  // namespace tb
