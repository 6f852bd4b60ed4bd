#include "render/Raster.h"

#include <algorithm>
#include <cmath>

#include "geometry/Numeric.h"

namespace tb {

namespace {
constexpr uint32_t kColourMask = 0xFFFFFF;
uint32_t Colour(int32_t c) { return static_cast<uint32_t>(c) & kColourMask; }
}  // namespace

Raster::Raster(int width, int height) : width_(0), height_(0) { Resize(width, height); }

void Raster::Resize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), Colour(background_));
}

uint32_t Raster::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[static_cast<size_t>(y) * width_ + x];
}

void Raster::Clear() { std::fill(pixels_.begin(), pixels_.end(), Colour(background_)); }

void Raster::SetPenWidth(int16_t width) { penWidth_ = std::max<int16_t>(1, width); }

void Raster::SetFillColor(int32_t colour) { fillColour_ = colour; }

namespace {
// Largest k >= 0 with k * k < m, for m > 0.
int64_t FloorSqrtBelow(int64_t m) {
  auto k = static_cast<int64_t>(std::sqrt(static_cast<double>(m)));
  while (k * k >= m) --k;
  while ((k + 1) * (k + 1) < m) ++k;
  return k;
}
}  // namespace

// A filled disc of diameter `width`: every pixel whose centre lies inside it. An odd width is
// centred on pixel (cx, cy), an even one on that pixel's lower-right corner, so the disc is
// `width` pixels across each way. Worked in doubled coordinates, where every test is exact.
void Raster::Stamp(int64_t cx, int64_t cy, int width, uint32_t colour) {
  if (width <= 1) {
    if (cx >= 0 && cy >= 0 && cx < width_ && cy < height_)
      pixels_[static_cast<size_t>(cy) * width_ + static_cast<size_t>(cx)] = colour;
    return;
  }
  const int64_t e = width % 2 == 0 ? 1 : 0;  // centre offset from the pixel, in half pixels
  const int64_t rows = width;                // rows from cy - top to cy - top + width - 1
  const int64_t top = (width - 1 - e) / 2;
  if (width != spanWidth_) {
    // Each row's reach to the right of cx, worked out once per pen width; the disc is
    // mirrored about the centre, so a row reaches e - reach on the left.
    const int64_t w2 = static_cast<int64_t>(width) * width;
    spans_.resize(static_cast<size_t>(rows));
    for (int64_t j = 0; j < rows; ++j) {
      const int64_t a = 2 * (j - top) - e;
      // The pixels i of the row have (2i - e)^2 < w2 - a^2, that is |2i - e| <= k.
      const int64_t k = FloorSqrtBelow(w2 - a * a);
      spans_[static_cast<size_t>(j)] = static_cast<int32_t>((k + e) / 2);
    }
    spanWidth_ = width;
  }
  const int64_t y0 = std::max<int64_t>(cy - top, 0);
  const int64_t y1 = std::min<int64_t>(cy - top + rows - 1, static_cast<int64_t>(height_) - 1);
  for (int64_t y = y0; y <= y1; ++y) {
    const int64_t reach = spans_[static_cast<size_t>(y - cy + top)];
    int64_t x0 = std::max<int64_t>(cx + e - reach, 0);
    int64_t x1 = std::min<int64_t>(cx + reach, static_cast<int64_t>(width_) - 1);
    if (x0 > x1) continue;
    uint32_t* row = pixels_.data() + static_cast<size_t>(y) * width_;
    std::fill(row + x0, row + x1 + 1, colour);
  }
}

void Raster::PlotPoint(float x, float y) { PlotPoint(x, y, defaultPen_); }

void Raster::PlotPoint(float x, float y, int32_t colour) {
  Stamp(RoundToInt(D(x)), RoundToInt(D(y)), penWidth_, Colour(colour));
  curX_ = x;
  curY_ = y;
}

void Raster::LineTo(float x, float y, int32_t colour) { DrawLine(curX_, curY_, x, y, colour); }

void Raster::DrawLine(float x1, float y1, float x2, float y2, int32_t colour) {
  curX_ = x2;
  curY_ = y2;
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
  // Clip to the image grown by the pen, so far-away lines cost nothing.
  const double margin = penWidth_ + 2.0;
  double ax = D(x1), ay = D(y1), bx = D(x2), by = D(y2);
  double t0 = 0, t1 = 1;
  const double dx = bx - ax, dy = by - ay;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {ax + margin, width_ + margin - ax, ay + margin, height_ + margin - ay};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return;
      continue;
    }
    double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return;
      t1 = std::min(t1, t);
    }
  }
  // Whole ends are kept as they are, so a clipped line keeps its pixels.
  int64_t px0 = RoundToInt(t0 == 0 ? ax : ax + t0 * dx),
          py0 = RoundToInt(t0 == 0 ? ay : ay + t0 * dy);
  int64_t px1 = RoundToInt(t1 == 1 ? bx : ax + t1 * dx),
          py1 = RoundToInt(t1 == 1 ? by : ay + t1 * dy);
  const uint32_t c = Colour(colour);
  // 8-connected steps: width-1 outlines touch diagonally only, which a fill does not cross.
  int64_t sx = px0 < px1 ? 1 : -1, sy = py0 < py1 ? 1 : -1;
  int64_t ex = std::llabs(px1 - px0), ey = -std::llabs(py1 - py0);
  int64_t err = ex + ey;
  for (;;) {
    Stamp(px0, py0, penWidth_, c);
    if (px0 == px1 && py0 == py1) break;
    int64_t e2 = 2 * err;
    if (e2 >= ey) {
      err += ey;
      px0 += sx;
    }
    if (e2 <= ex) {
      err += ex;
      py0 += sy;
    }
  }
}

void Raster::FloodFill(int32_t x, int32_t y, int32_t colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const uint32_t target = Colour(colour);
  const uint32_t paint = Colour(fillColour_);
  uint32_t* px = pixels_.data();
  const int32_t w = width_;
  if (px[static_cast<size_t>(y) * w + x] != target || paint == target) return;
  // Span fill with an explicit stack of (row, left, right, direction): each entry is a span
  // of the row it came from, and only the row beyond it (plus any overhang back) is scanned.
  // No recursion, whatever the region's size, and each pixel is looked at a few times only.
  const int32_t h = height_;
  auto& st = fillStack_;
  st.clear();
  auto push = [&st, h](int32_t row, int32_t left, int32_t right, int32_t dir) {
    if (row + dir < 0 || row + dir >= h) return;
    st.push_back(row);
    st.push_back(left);
    st.push_back(right);
    st.push_back(dir);
  };
  push(y, x, x, 1);
  push(y + 1, x, x, -1);
  while (!st.empty()) {
    const int32_t dir = st.back();
    const int32_t x2 = st[st.size() - 2];
    const int32_t x1 = st[st.size() - 3];
    const int32_t row = st[st.size() - 4] + dir;
    st.resize(st.size() - 4);
    uint32_t* line = px + static_cast<size_t>(row) * w;
    int32_t xx = x1;
    while (xx >= 0 && line[xx] == target) line[xx--] = paint;
    int32_t left = xx + 1;
    bool inRun = xx < x1;
    if (inRun && left < x1) push(row, left, x1 - 1, -dir);
    if (inRun) xx = x1 + 1;
    for (;;) {
      if (inRun) {
        while (xx < w && line[xx] == target) line[xx++] = paint;
        push(row, left, xx - 1, dir);
        if (xx > x2 + 1) push(row, x2 + 1, xx - 1, -dir);
      }
      for (++xx; xx <= x2 && line[xx] != target; ++xx) {
      }
      if (xx > x2) break;
      left = xx;
      inRun = true;
    }
  }
}

}  // namespace tb
