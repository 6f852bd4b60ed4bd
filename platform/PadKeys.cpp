#include "platform/PadKeys.h"

#include <algorithm>

namespace tb {

StickDirection StickDirectionOf(int16_t stickX, int16_t stickY) {
  int64_t x = stickX, y = stickY;
  const int64_t dead = kStickDeadZone;
  if (x * x + y * y <= dead * dead) return StickDirection::kNone;
  if ((x < 0 ? -x : x) > (y < 0 ? -y : y))
    return x > 0 ? StickDirection::kRight : StickDirection::kLeft;
  return y < 0 ? StickDirection::kForward : StickDirection::kBackward;
}

bool PadHoldsKey(const PadKeys& keys, const PadState& pad, uint8_t virtualKey) {
  if (virtualKey == vk::kNone) return false;
  StickDirection stick = StickDirectionOf(pad.stickX, pad.stickY);
  if (virtualKey == keys.right) return pad.dpadRight || stick == StickDirection::kRight;
  if (virtualKey == keys.left) return pad.dpadLeft || stick == StickDirection::kLeft;
  if (virtualKey == keys.forward) return pad.dpadUp || stick == StickDirection::kForward;
  if (virtualKey == keys.backward) return pad.dpadDown || stick == StickDirection::kBackward;
  if (virtualKey == keys.fire) return pad.south;
  return false;
}

PadSlots::PadSlots() { holder_.fill(-1); }

int PadSlots::Connect(int32_t id) {
  int known = SlotOf(id);
  if (known >= 0 || std::find(waiting_.begin(), waiting_.end(), id) != waiting_.end()) return known;
  for (int slot = 0; slot < kPadSlots; ++slot) {
    if (holder_[slot] < 0) {
      holder_[slot] = id;
      return slot;
    }
  }
  waiting_.push_back(id);
  return -1;
}

void PadSlots::Disconnect(int32_t id) {
  waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), id), waiting_.end());
  int slot = SlotOf(id);
  if (slot < 0) return;
  holder_[slot] = -1;
  if (!waiting_.empty()) {
    holder_[slot] = waiting_.front();
    waiting_.erase(waiting_.begin());
  }
}

int PadSlots::SlotOf(int32_t id) const {
  if (id < 0) return -1;
  for (int slot = 0; slot < kPadSlots; ++slot)
    if (holder_[slot] == id) return slot;
  return -1;
}

bool StickCrossed(int16_t before, int16_t now, bool horizontal, PadButton& out) {
  // Half the travel out, a little less back, so that a stick resting near the edge does not
  // press again and again.
  constexpr int kOut = 16384, kBack = 12000;
  const int b = before, n = now;
  if (n >= kOut && b < kBack) {
    out = horizontal ? PadButton::kRight : PadButton::kDown;
    return true;
  }
  if (n <= -kOut && b > -kBack) {
    out = horizontal ? PadButton::kLeft : PadButton::kUp;
    return true;
  }
  return false;
}

}  // namespace tb
