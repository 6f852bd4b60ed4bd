#pragma once
// The game's icon: a green vehicle at a slant, exactly as the game draws one, smoothed down to
// any size on a transparent background. The build's icon files and the window icon share it.
#include <cstdint>
#include <vector>

namespace tb {

// A square picture, rows top down, four bytes a pixel: red, green, blue, then alpha (not
// premultiplied; 0 is fully transparent).
struct IconImage {
  int size = 0;
  std::vector<uint8_t> rgba;
};

// Draws the icon at `size` × `size` pixels (1 to 1024). Safe to call while a game runs: it
// uses a throwaway form and leaves the game's own state as it found it.
IconImage DrawIcon(int size);

}  // namespace tb
