#include "platform/SdlKeys.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "files/Files.h"

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

namespace {

// A line SDL's mapping format can hold: a GUID of 32 hex digits, a name, then "key:value"
// fields, each ended by a comma except perhaps the last.
bool IsMappingLine(const std::string& line) {
  for (char c : line)
    if (c < 0x20 || c >= 0x7F) return false;
  std::vector<std::string> fields{""};
  for (char c : line) {
    if (c == ',')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  if (fields.back().empty()) fields.pop_back();  // the usual trailing comma
  if (fields.size() < 3 || fields[0].size() != 32 || fields[1].empty()) return false;
  for (char c : fields[0])
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  for (size_t i = 2; i < fields.size(); ++i) {
    const size_t colon = fields[i].find(':');
    if (colon == 0 || colon == std::string::npos || colon + 1 == fields[i].size()) return false;
  }
  return true;
}

}  // namespace

bool ReadControllerMappings(const std::vector<std::string>& files,
                            std::vector<std::string>& mappings, std::string& problem) {
  mappings.clear();
  for (const std::string& file : files) {
    std::error_code absent;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, absent))) continue;
    std::string text;
    if (!ReadWholeFile(file, kMaxMappingBytes, text, problem)) {
      problem = file + ": " + problem;
      return false;
    }
    size_t number = 0;
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(at, end - at);
      at = end + 1;
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      if (!IsMappingLine(line)) {
        problem = file + ": line " + std::to_string(number) + " is not a controller mapping";
        return false;
      }
      mappings.push_back(std::move(line));
    }
  }
  return true;
}

void LoadControllerMappings(const std::vector<std::string>& files, std::ostream& errors) {
  std::vector<std::string> mappings;
  std::string problem;
  if (!ReadControllerMappings(files, mappings, problem)) {
    errors << "treadbrawl: cannot read controller mappings from " << problem << std::endl;
    return;
  }
  for (const std::string& mapping : mappings) SDL_GameControllerAddMapping(mapping.c_str());
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
    if (slot >= 0 && slot < kPadSlots &&
        PadHoldsKey(padKeys_[static_cast<size_t>(slot)], ReadPad(entry.second), virtualKey))
      return true;
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
