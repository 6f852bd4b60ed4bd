#pragma once
// Animated GIF clips of the game's picture: one exact palette (the game draws with few
// colours), 50 frames a second, each frame only the rectangle that changed, with the pixels
// that stayed the same left transparent so that they cost almost nothing. A grenade pulses
// through every shade of red, so a long clip may use more colours than a palette holds: a
// frame that needs colours beyond the shared palette carries its own, still exact.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "render/Raster.h"

namespace tb::sim {

// One clip of the ticks from `from` to `to`, both included, to be written to `path`.
class GifClip {
 public:
  GifClip(int64_t from, int64_t to, std::string path)
      : from_(from), to_(to), path_(std::move(path)) {}
  int64_t From() const { return from_; }
  int64_t To() const { return to_; }
  const std::string& Path() const { return path_; }
  // Takes the picture at the end of a tick within the clip; false with the problem when a
  // frame has more colours than one palette holds.
  bool AddFrame(const Raster& picture, std::string& problem);
  int64_t Frames() const { return static_cast<int64_t>(frames_.size()); }  // taken so far
  // Writes the file; false with the problem.
  bool Write(std::string& problem) const;

  // A GIF frame's delay, in hundredths of a second: 50 frames a second.
  static constexpr int kDelay = 2;
  // One palette slot stays free for the transparent pixels.
  static constexpr int kMaxColours = 255;
  // A frame's pixel that shows what the frame before showed.
  static constexpr uint16_t kUnchanged = 0xFFFF;

 private:
  struct Frame {
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<uint16_t> pixels;  // indices into the clip's colours, row by row
    bool ownPalette = false;       // uses colours beyond the shared palette
  };
  int64_t from_, to_;
  std::string path_;
  int width_ = 0, height_ = 0;
  std::vector<uint32_t> palette_;  // every colour of the clip, the first kMaxColours shared
  std::unordered_map<uint32_t, uint16_t> index_;
  std::vector<uint16_t> shown_;  // what the frames so far show, as colour indices
  std::vector<Frame> frames_;
};

}  // namespace tb::sim
