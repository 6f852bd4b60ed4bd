#include "platform/SdlKeys.h"

#include <algorithm>

namespace tb {

uint8_t VirtualKeyForScancode(int scancode, bool numLockOn) {
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
    return static_cast<uint8_t>(vk::kA + (scancode - SDL_SCANCODE_A));
  if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
    return numLockOn ? static_cast<uint8_t>(vk::kNumPad0 + 1 + (scancode - SDL_SCANCODE_KP_1))
                     : vk::kNone;
  switch (scancode) {
    case SDL_SCANCODE_KP_0:
      return numLockOn ? vk::kNumPad0 : vk::kNone;
    case SDL_SCANCODE_LEFT:
      return vk::kLeft;
    case SDL_SCANCODE_UP:
      return vk::kUp;
    case SDL_SCANCODE_RIGHT:
      return vk::kRight;
    case SDL_SCANCODE_DOWN:
      return vk::kDown;
    case SDL_SCANCODE_ESCAPE:
      return vk::kEscape;
    default:
      return vk::kNone;
  }
}

KeyboardMap::KeyboardMap() {
  for (int numLock = 0; numLock < 2; ++numLock) {
    scancode_[numLock].fill(-1);
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
      uint8_t key = VirtualKeyForScancode(sc, numLock != 0);
      if (key != vk::kNone) scancode_[numLock][key] = static_cast<int16_t>(sc);
    }
  }
}

bool KeyboardMap::Holds(const uint8_t* state, int numKeys, bool numLockOn,
                        uint8_t virtualKey) const {
  int sc = scancode_[numLockOn ? 1 : 0][virtualKey];
  return state != nullptr && sc >= 0 && sc < numKeys && state[sc] != 0;
}

const PlayerKeys& PlayerKeysForSlot(int slot) {
  return kPlayerKeys[std::clamp(slot, 0, kPadSlots - 1)];
}

bool PadHoldsKey(int slot, const PadState& pad, uint8_t virtualKey) {
  if (slot < 0 || slot >= kPadSlots || virtualKey == vk::kNone) return false;
  const PlayerKeys& keys = PlayerKeysForSlot(slot);
  if (virtualKey == keys.Right) return pad.dpadRight || pad.stickX > kStickDeadZone;
  if (virtualKey == keys.Left) return pad.dpadLeft || pad.stickX < -kStickDeadZone;
  if (virtualKey == keys.Forward) return pad.dpadUp || pad.stickY < -kStickDeadZone;
  if (virtualKey == keys.Backward) return pad.dpadDown || pad.stickY > kStickDeadZone;
  if (virtualKey == keys.Fire) return pad.south;
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

namespace {

PadState ReadPad(SDL_GameController* pad) {
  PadState s;
  s.dpadUp = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_UP) != 0;
  s.dpadDown = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_DOWN) != 0;
  s.dpadLeft = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT) != 0;
  s.dpadRight = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) != 0;
  s.south = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_A) != 0;
  s.stickX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
  s.stickY = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
  return s;
}

}  // namespace

SdlKeyState::~SdlKeyState() {
  for (auto& entry : pads_) SDL_GameControllerClose(entry.second);
}

bool SdlKeyState::IsKeyDown(uint8_t virtualKey) const {
  int numKeys = 0;
  const uint8_t* state = SDL_GetKeyboardState(&numKeys);
  bool numLock = (SDL_GetModState() & KMOD_NUM) != 0;
  if (keyboard_.Holds(state, numKeys, numLock, virtualKey)) return true;
  for (const auto& entry : pads_) {
    int slot = slots_.SlotOf(entry.first);
    if (slot >= 0 && PadHoldsKey(slot, ReadPad(entry.second), virtualKey)) return true;
  }
  return false;
}

void SdlKeyState::HandleEvent(const SDL_Event& event) {
  if (event.type == SDL_CONTROLLERDEVICEADDED) {
    // "which" is a device index here; SDL may announce a pad twice at start-up.
    SDL_GameController* pad = SDL_GameControllerOpen(event.cdevice.which);
    if (pad == nullptr) return;
    SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
    if (id < 0 || pads_.count(id) != 0) {
      SDL_GameControllerClose(pad);  // drops only the extra reference
      return;
    }
    pads_[id] = pad;
    slots_.Connect(id);
  } else if (event.type == SDL_CONTROLLERDEVICEREMOVED) {
    auto it = pads_.find(event.cdevice.which);  // an instance id here
    if (it == pads_.end()) return;
    SDL_GameControllerClose(it->second);
    slots_.Disconnect(it->first);
    pads_.erase(it);
  }
}

}  // namespace tb
