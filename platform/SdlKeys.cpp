#include "platform/SdlKeys.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

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
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
      return vk::kReturn;
    case SDL_SCANCODE_SPACE:
      return vk::kSpace;
    default:
      return vk::kNone;
  }
}

uint8_t AnyVirtualKeyForScancode(int scancode, bool numLockOn) {
  const uint8_t game = VirtualKeyForScancode(scancode, numLockOn);
  if (game != vk::kNone) return game;
  // Digits 1 to 9 then 0, as the top row runs.
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
    return static_cast<uint8_t>('1' + (scancode - SDL_SCANCODE_1));
  switch (scancode) {
    case SDL_SCANCODE_0:
      return '0';
    case SDL_SCANCODE_BACKSPACE:
      return vk::kBackspace;
    case SDL_SCANCODE_LSHIFT:
      return 0xA0;
    case SDL_SCANCODE_RSHIFT:
      return 0xA1;
    case SDL_SCANCODE_LCTRL:
      return 0xA2;
    case SDL_SCANCODE_RCTRL:
      return 0xA3;
    case SDL_SCANCODE_SEMICOLON:
      return 0xBA;
    case SDL_SCANCODE_EQUALS:
      return 0xBB;
    case SDL_SCANCODE_COMMA:
      return 0xBC;
    case SDL_SCANCODE_MINUS:
      return 0xBD;
    case SDL_SCANCODE_PERIOD:
      return 0xBE;
    case SDL_SCANCODE_SLASH:
      return 0xBF;
    case SDL_SCANCODE_GRAVE:
      return 0xC0;
    case SDL_SCANCODE_LEFTBRACKET:
      return 0xDB;
    case SDL_SCANCODE_BACKSLASH:
      return 0xDC;
    case SDL_SCANCODE_RIGHTBRACKET:
      return 0xDD;
    case SDL_SCANCODE_APOSTROPHE:
      return 0xDE;
    default:
      return vk::kNone;
  }
}

KeyboardMap::KeyboardMap() {
  for (int numLock = 0; numLock < 2; ++numLock) {
    scancode_[numLock].fill(-1);
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
      uint8_t key = AnyVirtualKeyForScancode(sc, numLock != 0);
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

StickDirection StickDirectionOf(int16_t stickX, int16_t stickY) {
  int64_t x = stickX, y = stickY;
  const int64_t dead = kStickDeadZone;
  if (x * x + y * y <= dead * dead) return StickDirection::kNone;
  if ((x < 0 ? -x : x) > (y < 0 ? -y : y))
    return x > 0 ? StickDirection::kRight : StickDirection::kLeft;
  return y < 0 ? StickDirection::kForward : StickDirection::kBackward;
}

bool PadHoldsKey(int slot, const PadState& pad, uint8_t virtualKey) {
  if (slot < 0 || slot >= kPadSlots || virtualKey == vk::kNone) return false;
  const PlayerKeys& keys = PlayerKeysForSlot(slot);
  StickDirection stick = StickDirectionOf(pad.stickX, pad.stickY);
  if (virtualKey == keys.Right) return pad.dpadRight || stick == StickDirection::kRight;
  if (virtualKey == keys.Left) return pad.dpadLeft || stick == StickDirection::kLeft;
  if (virtualKey == keys.Forward) return pad.dpadUp || stick == StickDirection::kForward;
  if (virtualKey == keys.Backward) return pad.dpadDown || stick == StickDirection::kBackward;
  if (virtualKey == keys.Fire) return pad.south;
  return false;
}

std::vector<std::string> ControllerMappingFiles(const std::string& exeFolder,
                                                const std::string& configFolder) {
  std::vector<std::string> files{exeFolder + "/gamecontrollerdb.txt"};
  if (!configFolder.empty()) files.push_back(configFolder + "/gamecontrollerdb.txt");
  return files;
}

std::string UserConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/treadbrawl";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/treadbrawl";
  return "";
}

void LoadControllerMappings(const std::vector<std::string>& files, std::ostream& errors) {
  for (const std::string& file : files) {
    if (!std::ifstream(file)) continue;  // absent: nothing to add
    if (SDL_GameControllerAddMappingsFromFile(file.c_str()) < 0)
      errors << "treadbrawl: cannot read controller mappings from " << file << ": "
             << SDL_GetError() << std::endl;
  }
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
  return KeyboardHolds(virtualKey) || PadsHold(virtualKey);
}

bool SdlKeyState::KeyboardHolds(uint8_t virtualKey) const {
  int numKeys = 0;
  const uint8_t* state = SDL_GetKeyboardState(&numKeys);
  bool numLock = (SDL_GetModState() & KMOD_NUM) != 0;
  return keyboard_.Holds(state, numKeys, numLock, virtualKey);
}

bool SdlKeyState::PadsHold(uint8_t virtualKey) const {
  for (const auto& entry : pads_) {
    int slot = slots_.SlotOf(entry.first);
    if (slot >= 0 && PadHoldsKey(slot, ReadPad(entry.second), virtualKey)) return true;
  }
  return false;
}

std::string SdlKeyState::PadName(int slot) const {
  for (const auto& entry : pads_)
    if (slots_.SlotOf(entry.first) == slot) {
      const char* name = SDL_GameControllerName(entry.second);
      return name != nullptr ? name : "controller";
    }
  return "";
}

void SdlKeyState::HandleEvent(const SDL_Event& event) {
  if (event.type == SDL_JOYDEVICEADDED || event.type == SDL_CONTROLLERDEVICEADDED) {
    // "which" is a device index here. A pad comes as a joystick and, when SDL has a mapping
    // for it, again as a controller; a mapping added after the pad came has only the first.
    int index = event.type == SDL_JOYDEVICEADDED ? event.jdevice.which : event.cdevice.which;
    if (!SDL_IsGameController(index)) {
      if (event.type == SDL_JOYDEVICEADDED) NameUnmapped(index);
      return;
    }
    SDL_GameController* pad = SDL_GameControllerOpen(index);
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

void SdlKeyState::NameUnmapped(int index) {
  const char* name = SDL_JoystickNameForIndex(index);
  std::string known = name != nullptr ? name : "unnamed";
  if (!named_.insert(known).second) return;
  warnings_ << "treadbrawl: game controller \"" << known
            << "\" has no mapping and is not used; add one to gamecontrollerdb.txt beside the "
               "game or in ~/.config/treadbrawl/"
            << std::endl;
}

}  // namespace tb
