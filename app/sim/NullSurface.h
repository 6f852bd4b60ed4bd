#pragma once
// A drawing area of the given size that draws nothing: the game without its pictures, for
// measurements and long runs. Drawing never feeds back into the world.
#include <cstdint>
#include <string>

#include "render/Surface.h"

namespace tb::sim {

class NullSurface : public Surface {
 public:
  NullSurface(float width = 582, float height = 555) : width_(width), height_(height) {}
  void Clear() override {}
  void SetPenWidth(int16_t) override {}
  void PlotPoint(float, float) override {}
  void PlotPoint(float, float, int32_t) override {}
  void LineTo(float, float, int32_t) override {}
  void DrawLine(float, float, float, float, int32_t) override {}
  void SetFillColor(int32_t) override {}
  void FloodFill(int32_t, int32_t, int32_t) override {}
  int32_t BackgroundColor() const override { return 0; }
  float DrawableWidth() const override { return width_; }
  float DrawableHeight() const override { return height_; }
  void SetCaption(const std::string&) override {}

 private:
  float width_;
  float height_;
};

}  // namespace tb::sim
