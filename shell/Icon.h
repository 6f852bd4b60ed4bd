#pragma once
// The game's icon, a green vehicle at a slant drawn by the game's own code: the desktop icon
// made at build time and the window's icon come from this one drawing.
#include <cstdint>
#include <vector>

#include "render/Raster.h"

namespace tb {

// Side of the square icon picture, in pixels.
constexpr int kIconSize = 96;

// Clears the raster and draws the vehicle in its middle.
void DrawIcon(Raster& raster);

// The raster as bytes R, G, B, A a pixel, row by row, with the background that reaches the
// edges made transparent (background enclosed by the drawing stays opaque).
std::vector<uint8_t> WithTransparentBackground(const Raster& raster);

}  // namespace tb
