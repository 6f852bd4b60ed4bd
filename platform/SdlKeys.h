#pragma once
// Keyboard and game controllers seen through the game's virtual-key codes. A controller
// presses the same codes as its player's keys, so the game's own key rules apply unchanged.
#include <SDL.h>

#include <array>
#include <cstdint>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "shell/Controls.h"
#include "shell/Platform.h"

namespace tb {

namespace vk {
constexpr uint8_t kNone = 0;
constexpr uint8_t kBackspace = 0x08;  // rubs out typing on the start screen
constexpr uint8_t kReturn = 0x0D;     // Enter, either one: starts an online match
constexpr uint8_t kEscape = 0x1B;
constexpr uint8_t kSpace = 0x20;  // pauses a replay
constexpr uint8_t kLeft = 0x25;
constexpr uint8_t kUp = 0x26;
constexpr uint8_t kRight = 0x27;
constexpr uint8_t kDown = 0x28;
constexpr uint8_t kA = 0x41;        // letters run on to Z = 0x5A
constexpr uint8_t kNumPad0 = 0x60;  // keypad digits run on to 9 = 0x69
}  // namespace vk

// The virtual key of a physical key, or vk::kNone for keys the game has no use for. With
// Num Lock off the keypad is navigation, not digits, so it gives nothing.
uint8_t VirtualKeyForScancode(int scancode, bool numLockOn);

// The same, and beyond the game's own keys the others a player may be given instead: the
// top row's digits, Shift and Ctrl, punctuation, and Backspace for typing.
uint8_t AnyVirtualKeyForScancode(int scancode, bool numLockOn);

// The reverse lookup, built once from AnyVirtualKeyForScancode so the two can never disagree.
class KeyboardMap {
 public:
  KeyboardMap();
  // Whether vk is held in a keyboard state array indexed by scancode (SDL's layout).
  bool Holds(const uint8_t* state, int numKeys, bool numLockOn, uint8_t virtualKey) const;

 private:
  std::array<std::array<int16_t, 256>, 2> scancode_;  // [numLock][vk], -1 when none
};

// Controllers are handed the players' keys in the game's order: Green, Red, Blue, Yellow.
constexpr int kPadSlots = 4;
const PlayerKeys& PlayerKeysForSlot(int slot);

// What one controller is doing right now.
struct PadState {
  bool dpadUp = false, dpadDown = false, dpadLeft = false, dpadRight = false;
  bool south = false;
  int16_t stickX = 0, stickY = 0;  // SDL axes: negative is left and up
};
// Stick travel below this radius counts as centred: worn sticks rest well off zero.
constexpr int kStickDeadZone = 32767 * 2 / 5;
// The one steering direction the stick points in: the direction of its stronger axis (four
// quarter-circle sectors), or nothing inside the round dead zone. A stick pushed mostly
// forward and a little right drives forward rather than spinning on the spot.
enum class StickDirection { kNone, kRight, kLeft, kForward, kBackward };
StickDirection StickDirectionOf(int16_t stickX, int16_t stickY);
// Whether a controller playing this slot holds the given virtual key.
bool PadHoldsKey(int slot, const PadState& pad, uint8_t virtualKey);

// Controller mappings for pads SDL does not know: gamecontrollerdb.txt beside the game, then
// in the user's configuration folder ($XDG_CONFIG_HOME or ~/.config, then treadbrawl/).
std::vector<std::string> ControllerMappingFiles(const std::string& exeFolder,
                                                const std::string& configFolder);
// The user's configuration folder for the game, or "" when there is no home.
std::string UserConfigFolder();
// Adds the mappings of each file that exists; a file that cannot be read is named on `errors`.
void LoadControllerMappings(const std::vector<std::string>& files, std::ostream& errors);

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

class SdlKeyState final : public KeyState {
 public:
  // Pads that cannot be used are named once on `warnings`.
  explicit SdlKeyState(std::ostream& warnings = std::cerr) : warnings_(warnings) {}
  ~SdlKeyState() override;
  SdlKeyState(const SdlKeyState&) = delete;
  SdlKeyState& operator=(const SdlKeyState&) = delete;

  bool IsKeyDown(uint8_t virtualKey) const override;
  // The two halves of IsKeyDown: the keyboard alone, and the controllers alone.
  bool KeyboardHolds(uint8_t virtualKey) const;
  bool PadsHold(uint8_t virtualKey) const;
  // The name of the controller playing a slot, "" when none does.
  std::string PadName(int slot) const;
  // Takes controller and joystick plug and unplug events; everything else is ignored.
  void HandleEvent(const SDL_Event& event);
  int ConnectedPads() const { return static_cast<int>(pads_.size()); }

 private:
  // Says once per name that a pad cannot be used for want of a mapping.
  void NameUnmapped(int index);

  KeyboardMap keyboard_;
  PadSlots slots_;
  std::map<SDL_JoystickID, SDL_GameController*> pads_;
  std::ostream& warnings_;
  std::set<std::string> named_;  // unmapped pads already named
};

}  // namespace tb
