#pragma once
#include <cstdint>

namespace tb {

// Each player's five keys, by virtual-key code.
struct PlayerKeys {
  const char* Name;  // the colour, as the window names its vehicle
  uint8_t Right;
  uint8_t Left;
  uint8_t Forward;
  uint8_t Backward;
  uint8_t Fire;
};

// The four seats, in the order the controls are read.
inline constexpr PlayerKeys kPlayerKeys[4] = {
    {"Green", 0x44, 0x41, 0x57, 0x53, 0x45},   // D A W S E
    {"Red", 0x4C, 0x4A, 0x49, 0x4B, 0x4F},     // L J I K O
    {"Blue", 0x27, 0x25, 0x26, 0x28, 0x60},    // arrows, keypad 0
    {"Yellow", 0x66, 0x64, 0x68, 0x65, 0x69},  // keypad 6 4 8 5 9
};

// Closes the window.
inline constexpr uint16_t kEscapeKey = 27;

}  // namespace tb
