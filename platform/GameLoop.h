#pragma once
// What a frame loop drives and what it shows, whichever window or page runs it.
#include <cstdint>
#include <string>

namespace tb {

// What the window shows after each tick: pixels of four bytes, red, green, blue and one
// unused, row after row without gaps, and the window's title.
class Picture {
 public:
  virtual ~Picture() = default;
  // Width() x Height() pixels, valid until the next tick.
  virtual const void* Pixels() const = 0;
  // The picture's width in pixels.
  virtual int Width() const = 0;
  // The picture's height in pixels.
  virtual int Height() const = 0;
  // The window's title.
  virtual const std::string& Caption() const = 0;
};

// A controller's buttons as menus read them: d-pad or stick directions, A and B.
enum class PadButton { kUp, kDown, kLeft, kRight, kA, kB };

// What the loop drives.
class TickTarget {
 public:
  virtual ~TickTarget() = default;
  // One tick of the game, every 20 ms.
  virtual void Tick() = 0;
  // A key pressed, with the shift state (1 shift, 2 control, 4 alt).
  virtual void KeyDown(uint16_t keyCode, int shift) = 0;
  // Whether the target is done and the loop should end.
  virtual bool Closed() const = 0;
  // Text typed, UTF-8; only menus want it.
  virtual void TextInput(const std::string&) {}
  // A controller button pressed; only menus want it, a match reads controllers as keys.
  virtual void PadPressed(PadButton) {}
};

}  // namespace tb
