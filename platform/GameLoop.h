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

// What the loop drives.
class TickTarget {
 public:
  virtual ~TickTarget() = default;
  virtual void Tick() = 0;
  virtual void KeyDown(uint16_t keyCode, int shift) = 0;
  virtual bool Closed() const = 0;
};

}  // namespace tb
