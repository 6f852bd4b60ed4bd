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

#include "platform/PadKeys.h"
#include "shell/Platform.h"

namespace tb {

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

// Controller mappings for pads SDL does not know: gamecontrollerdb.txt beside the game, then
// in the user's configuration folder ($XDG_CONFIG_HOME or ~/.config, then treadbrawl/).
std::vector<std::string> ControllerMappingFiles(const std::string& exeFolder,
                                                const std::string& configFolder);
// The user's configuration folder for the game, or "" when there is no home.
std::string UserConfigFolder();
// A mapping file is text; the published database of every known pad is well under this.
inline constexpr size_t kMaxMappingBytes = size_t{1} << 20;
// The mapping lines of each file that exists, comments and blank lines left out; false with
// "FILE: problem" for the first file that cannot be read or holds a line that is no mapping.
bool ReadControllerMappings(const std::vector<std::string>& files,
                            std::vector<std::string>& mappings, std::string& problem);
// Adds the mappings of each file that exists; files that cannot be read are named on `errors`.
void LoadControllerMappings(const std::vector<std::string>& files, std::ostream& errors);

class SdlKeyState final : public KeyState {
 public:
  // Pads play the players of `padKeys` in the order they connect; pads that cannot be used
  // are named once on `warnings`.
  explicit SdlKeyState(const PadKeyTable& padKeys, std::ostream& warnings = std::cerr)
      : padKeys_(padKeys), warnings_(warnings) {}
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
  PadKeyTable padKeys_;
  PadSlots slots_;
  std::map<SDL_JoystickID, SDL_GameController*> pads_;
  std::ostream& warnings_;
  std::set<std::string> named_;  // unmapped pads already named
};

}  // namespace tb
