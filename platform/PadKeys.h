#pragma once
// The game's virtual-key codes and what a game controller presses: plain rules, apart from any
// input library, so that every platform layer plays a pad the same way.
#include <array>
#include <cstdint>
#include <vector>

#include "platform/GameLoop.h"

namespace tb {

namespace vk {
constexpr uint8_t kNone = 0;
constexpr uint8_t kBackspace = 0x08;  // rubs out typing on the start screen
constexpr uint8_t kReturn = 0x0D;  // Enter, either one: starts an online match
constexpr uint8_t kEscape = 0x1B;
constexpr uint8_t kSpace = 0x20;  // pauses a replay
constexpr uint8_t kLeft = 0x25;
constexpr uint8_t kUp = 0x26;
constexpr uint8_t kRight = 0x27;
constexpr uint8_t kDown = 0x28;
constexpr uint8_t kA = 0x41;        // letters run on to Z = 0x5A
constexpr uint8_t kNumPad0 = 0x60;  // keypad digits run on to 9 = 0x69
}  // namespace vk

// The direction a stick has just been pushed into across its dead zone, if any: one press per
// push, as a d-pad gives.
bool StickCrossed(int16_t before, int16_t now, bool horizontal, PadButton& out);

// The keys a controller presses for the player it plays, by virtual-key code.
struct PadKeys {
  uint8_t right, left, forward, backward, fire;
};
// Controllers are handed the players in the order of this table, one slot each.
constexpr int kPadSlots = 4;
using PadKeyTable = std::array<PadKeys, kPadSlots>;

// What one controller is doing right now.
struct PadState {
  bool dpadUp = false, dpadDown = false, dpadLeft = false, dpadRight = false;
  bool south = false;
  int16_t stickX = 0, stickY = 0;  // negative is left and up
};
// Stick travel below this radius counts as centred: worn sticks rest well off zero.
constexpr int kStickDeadZone = 32767 * 2 / 5;
// The one steering direction the stick points in: the direction of its stronger axis (four
// quarter-circle sectors), or nothing inside the round dead zone. A stick pushed mostly
// forward and a little right drives forward rather than spinning on the spot.
enum class StickDirection { kNone, kRight, kLeft, kForward, kBackward };
StickDirection StickDirectionOf(int16_t stickX, int16_t stickY);
// Whether a controller pressing these keys holds the given virtual key.
bool PadHoldsKey(const PadKeys& keys, const PadState& pad, uint8_t virtualKey);

// Hands the four player slots to controllers in the order they connect. A controller that
// finds them all taken waits and gets the first slot freed by an unplugged one.
class PadSlots {
 public:
  PadSlots();
  // The slot given, or -1 while the controller waits.
  int Connect(int32_t id);
  void Disconnect(int32_t id);
  int SlotOf(int32_t id) const;

 private:
  std::array<int32_t, kPadSlots> holder_;
  std::vector<int32_t> waiting_;
};

}  // namespace tb
