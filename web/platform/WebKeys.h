#pragma once
// The page's keyboard and gamepads seen through the game's virtual-key codes, as the
// desktop sees its own: letters and arrows by their place on the keyboard, keypad digits
// only with Num Lock on, a gamepad pressing its player's keys.
#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "platform/PadKeys.h"
#include "shell/Platform.h"

namespace tb {

// The virtual key of a KeyboardEvent's `code` (the key's place) and `key` (what it types),
// or vk::kNone for keys the game has no use for. A keypad key counts as its digit only when
// it types that digit, that is with Num Lock on.
uint8_t VirtualKeyForKeyCode(const std::string& code, const std::string& key);

class WebKeyState final : public KeyState {
 public:
  // Gamepads play the players of `padKeys` in the order they connect.
  explicit WebKeyState(const PadKeyTable& padKeys) : padKeys_(padKeys) {}

  bool IsKeyDown(uint8_t virtualKey) const override;

  // A key went down; returns its virtual key (vk::kNone for keys the game leaves alone).
  uint8_t Press(const std::string& code, const std::string& key);
  // A key went up: whatever it pressed is released.
  void Release(const std::string& code);
  // The page lost the focus: its key-up events will not come, so nothing stays held.
  void ReleaseAll() { held_.clear(); }

  // Gamepads, by the browser's index: plugged in, unplugged, and what one does now.
  void PadConnected(int index) { slots_.Connect(index); }
  void PadDisconnected(int index);
  void SetPad(int index, const PadState& state);
  // Reads every gamepad the browser knows of (once a tick, before the game polls).
  void SamplePads();

 private:
  PadKeyTable padKeys_;
  PadSlots slots_;
  std::map<std::string, uint8_t> held_;  // by the key's place, what it pressed
  std::map<int, PadState> pads_;
};

}  // namespace tb
