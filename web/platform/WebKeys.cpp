#include "web/platform/WebKeys.h"

#include <emscripten/html5.h>

namespace tb {

uint8_t VirtualKeyForKeyCode(const std::string& code, const std::string& key) {
  if (code.size() == 4 && code.compare(0, 3, "Key") == 0 && code[3] >= 'A' && code[3] <= 'Z')
    return static_cast<uint8_t>(vk::kA + (code[3] - 'A'));
  if (code.size() == 7 && code.compare(0, 6, "Numpad") == 0 && code[6] >= '0' && code[6] <= '9')
    return key.size() == 1 && key[0] == code[6]
               ? static_cast<uint8_t>(vk::kNumPad0 + (code[6] - '0'))
               : vk::kNone;
  if (code == "ArrowLeft") return vk::kLeft;
  if (code == "ArrowUp") return vk::kUp;
  if (code == "ArrowRight") return vk::kRight;
  if (code == "ArrowDown") return vk::kDown;
  if (code == "Escape") return vk::kEscape;
  if (code == "Enter" || code == "NumpadEnter") return vk::kReturn;
  if (code == "Space") return vk::kSpace;
  return vk::kNone;
}

bool WebKeyState::IsKeyDown(uint8_t virtualKey) const {
  if (virtualKey == vk::kNone) return false;
  for (const auto& entry : held_)
    if (entry.second == virtualKey) return true;
  for (const auto& entry : pads_) {
    const int slot = slots_.SlotOf(entry.first);
    if (slot >= 0 && slot < kPadSlots &&
        PadHoldsKey(padKeys_[static_cast<size_t>(slot)], entry.second, virtualKey))
      return true;
  }
  return false;
}

uint8_t WebKeyState::Press(const std::string& code, const std::string& key) {
  const uint8_t virtualKey = VirtualKeyForKeyCode(code, key);
  if (virtualKey != vk::kNone) held_[code] = virtualKey;
  return virtualKey;
}

void WebKeyState::Release(const std::string& code) { held_.erase(code); }

void WebKeyState::PadDisconnected(int index) {
  slots_.Disconnect(index);
  pads_.erase(index);
}

void WebKeyState::SetPad(int index, const PadState& state) {
  if (slots_.SlotOf(index) < 0) slots_.Connect(index);
  pads_[index] = state;
}

namespace {
// The browser's axes run from -1 to 1; the pad rules count as the desktop's do.
int16_t AxisValue(double axis) {
  if (!(axis == axis)) return 0;
  if (axis > 1.0) axis = 1.0;
  if (axis < -1.0) axis = -1.0;
  return static_cast<int16_t>(axis * 32767.0);
}
}  // namespace

void WebKeyState::SamplePads() {
  if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return;
  const int count = emscripten_get_num_gamepads();
  for (int index = 0; index < count; ++index) {
    EmscriptenGamepadEvent pad;
    if (emscripten_get_gamepad_status(index, &pad) != EMSCRIPTEN_RESULT_SUCCESS || !pad.connected) {
      if (pads_.count(index) != 0) PadDisconnected(index);
      continue;
    }
    // The standard layout: buttons 12 to 15 the pad's cross, 0 the lowest face button.
    PadState state;
    auto button = [&pad](int b) { return b < pad.numButtons && pad.digitalButton[b] != 0; };
    state.south = button(0);
    state.dpadUp = button(12);
    state.dpadDown = button(13);
    state.dpadLeft = button(14);
    state.dpadRight = button(15);
    if (pad.numAxes >= 2) {
      state.stickX = AxisValue(pad.axis[0]);
      state.stickY = AxisValue(pad.axis[1]);
    }
    SetPad(index, state);
  }
}

}  // namespace tb
