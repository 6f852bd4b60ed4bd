// The simulator in WebAssembly writes no pictures: there is no PNG or GIF library for it.
// Every picture asked for fails with a message that says so; the world plays the same.
#include "pictures/Gif.h"
#include "pictures/Png.h"

namespace tb::sim {

namespace {
const char* const kNoPictures = "pictures are not written by this build of the simulator";
}

bool WritePng(const Raster&, const std::string& path, std::string& error) {
  error = path + ": " + kNoPictures;
  return false;
}

bool WriteRgbaPng(int, int, const std::vector<uint8_t>&, const std::string& path,
                  std::string& error) {
  error = path + ": " + kNoPictures;
  return false;
}

bool GifClip::AddFrame(const Raster&, std::string& problem) {
  problem = path_ + ": " + kNoPictures;
  return false;
}

bool GifClip::Write(std::string& problem) const {
  problem = path_ + ": " + kNoPictures;
  return false;
}

}  // namespace tb::sim
