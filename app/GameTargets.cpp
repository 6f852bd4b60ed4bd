#include "app/GameTargets.h"

#include "match/Tick.h"
#include "platform/SdlKeys.h"

namespace tb {

void MatchTarget::Tick() {
  PlayTick(form_, rules_);
  if (recorder_ != nullptr) recorder_->EndTick(form_);
}

void ReplayTarget::Tick() {
  if (paused_ || !problem_.empty() || player_.AtEnd()) return;
  player_.Step(form_, problem_);
}

void ReplayTarget::KeyDown(uint16_t keyCode, int) {
  if (keyCode == vk::kEscape) closed_ = true;
  if (keyCode == vk::kSpace) paused_ = !paused_;
  if (!problem_.empty()) return;
  if (keyCode == vk::kRight || keyCode == vk::kLeft) {
    sound_.SetMuted(true);
    player_.SeekTo(form_, player_.Tick() + (keyCode == vk::kRight ? kSkip : -kSkip), problem_);
    sound_.SetMuted(false);
  }
}

}  // namespace tb
