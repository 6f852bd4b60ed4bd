#pragma once
// The drawing surface every thing paints itself on. Colours are 24-bit RGB values,
// red + 256*green + 65536*blue.
#include <cstdint>
#include <string>

namespace tb {

// Immediate-mode drawing on one pixel image; every call takes effect at once, in order.
class Surface {
 public:
  virtual ~Surface() = default;
  // Paints every pixel in the background colour.
  virtual void Clear() = 0;
  // Diameter of later dots and width of later lines, in pixels.
  virtual void SetPenWidth(int16_t width) = 0;
  // Dot in the default pen colour.
  virtual void PlotPoint(float x, float y) = 0;
  // Round dot of the pen's diameter; the current point moves there.
  virtual void PlotPoint(float x, float y, int32_t colour) = 0;
  // Round-ended line from the current point, which then moves to (x, y).
  virtual void LineTo(float x, float y, int32_t colour) = 0;
  // Round-ended line between two points; the current point moves to the second.
  virtual void DrawLine(float x1, float y1, float x2, float y2, int32_t colour) = 0;
  // Paint of later flood fills.
  virtual void SetFillColor(int32_t colour) = 0;
  // Repaints in the fill colour every pixel of `colour` joined to the seed through edges;
  // nothing if the seed is off the surface or of another colour.
  virtual void FloodFill(int32_t x, int32_t y, int32_t colour) = 0;
  virtual int32_t BackgroundColor() const = 0;
  // Size of the drawing area in pixels.
  virtual float DrawableWidth() const = 0;
  virtual float DrawableHeight() const = 0;
  // The window title.
  virtual void SetCaption(const std::string& text) = 0;
};

}  // namespace tb
