#pragma once
// The drawing surface every thing paints itself on. Colours are 24-bit RGB values,
// red + 256*green + 65536*blue.
#include <cstdint>
#include <string>

namespace tb {

class Surface {
 public:
  virtual ~Surface() = default;
  virtual void Clear() = 0;
  virtual void SetPenWidth(int16_t width) = 0;
  // Dot in the default pen colour.
  virtual void PlotPoint(float x, float y) = 0;
  virtual void PlotPoint(float x, float y, int32_t colour) = 0;
  virtual void LineTo(float x, float y, int32_t colour) = 0;
  virtual void DrawLine(float x1, float y1, float x2, float y2, int32_t colour) = 0;
  virtual void SetFillColor(int32_t colour) = 0;
  virtual void FloodFill(int32_t x, int32_t y, int32_t colour) = 0;
  virtual int32_t BackgroundColor() const = 0;
  virtual float DrawableWidth() const = 0;
  virtual float DrawableHeight() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
};

}  // namespace tb
