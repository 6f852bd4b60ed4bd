#pragma once
// PNG files: still pictures of the game, and the icon.
#include <cstdint>
#include <string>
#include <vector>

#include "render/Raster.h"

namespace tb::sim {

// Writes the raster as an 8-bit RGB PNG (pixel value r + 256g + 65536b). On failure returns
// false with a message in error; a half-written file may be left behind.
bool WritePng(const Raster& raster, const std::string& path, std::string& error);

// Writes width × height pixels of red, green, blue and straight alpha bytes as an RGBA PNG.
bool WriteRgbaPng(int width, int height, const std::vector<uint8_t>& rgba, const std::string& path,
                  std::string& error);

}  // namespace tb::sim
