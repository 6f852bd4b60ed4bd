#pragma once
// Our own software raster: a 32-bit pixel image holding the game's colour values
// (red in the low byte), with round dots, round-ended lines and a 4-connected surface fill.
#include <cstdint>
#include <string>
#include <vector>

#include "render/Surface.h"

namespace tb {

// A Surface drawn into memory: the real game's picture, and the simulator's.
class Raster final : public Surface {
 public:
  // A picture of this size in the background colour.
  Raster(int width, int height);
  // A new size, all in the background colour.
  void Resize(int width, int height);
  int Width() const { return width_; }  // in pixels
  int Height() const { return height_; }
  // Row-major, Width() pixels a row; each pixel is r + 256*g + 65536*b (bytes R, G, B, 0 in
  // memory on little-endian machines).
  const uint32_t* Pixels() const { return pixels_.data(); }
  uint32_t PixelAt(int x, int y) const;  // 0 off the picture
  // The latest title set.
  const std::string& Caption() const { return caption_; }

  // The Surface interface.
  void Clear() override;
  void SetPenWidth(int16_t width) override;
  void PlotPoint(float x, float y) override;
  void PlotPoint(float x, float y, int32_t colour) override;
  void LineTo(float x, float y, int32_t colour) override;
  void DrawLine(float x1, float y1, float x2, float y2, int32_t colour) override;
  void SetFillColor(int32_t colour) override;
  void FloodFill(int32_t x, int32_t y, int32_t colour) override;
  int32_t BackgroundColor() const override { return background_; }
  float DrawableWidth() const override { return static_cast<float>(width_); }
  float DrawableHeight() const override { return static_cast<float>(height_); }
  void SetCaption(const std::string& text) override { caption_ = text; }

 private:
  void Stamp(int64_t cx, int64_t cy, int width, uint32_t colour);
  int width_;
  int height_;
  std::vector<uint32_t> pixels_;
  std::vector<int32_t> spans_;  // each row's reach right of the centre pixel, for spanWidth_
  int spanWidth_ = -1;
  std::vector<int32_t> fillStack_;  // reused by FloodFill so a fill allocates nothing per tick
  int32_t background_ = 0;
  int32_t defaultPen_ = 0;
  int32_t fillColour_ = 0;
  int16_t penWidth_ = 1;
  float curX_ = 0;
  float curY_ = 0;
  std::string caption_ = "Form1";
};

}  // namespace tb
