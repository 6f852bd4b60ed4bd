#include "pictures/Icon.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "geometry/Module1.h"
#include "geometry/Numeric.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"

namespace tb {

namespace {

// The vehicle is laid out on a canvas of this many pixels, at the game's own scale.
constexpr int kDesignSize = 96;

// The form wants keys, sound, a clock and random draws; drawing one vehicle needs none.
struct NoKeys final : KeyState {
  bool IsKeyDown(uint8_t) const override { return false; }
};
struct StoppedClock final : Clock {
  float Now() override { return 0; }
};
struct NoRandom final : RandomSource {
  void Randomize(float) override {}
  float Draw() override { return 0; }
  uint64_t SaveState() const override { return 0; }
  void RestoreState(uint64_t) override {}
};

// Passes the game's drawing on to a raster `scale` times larger, pens included, so that the
// picture keeps its look when smoothed down afterwards.
class ScaledSurface final : public Surface {
 public:
  ScaledSurface(Raster& target, int scale) : target_(target), scale_(scale) {}
  void Clear() override { target_.Clear(); }
  void SetPenWidth(int16_t width) override {
    target_.SetPenWidth(static_cast<int16_t>(std::min(width * scale_, 32767)));
  }
  void PlotPoint(float x, float y) override { target_.PlotPoint(Map(x), Map(y)); }
  void PlotPoint(float x, float y, int32_t colour) override {
    target_.PlotPoint(Map(x), Map(y), colour);
  }
  void LineTo(float x, float y, int32_t colour) override { target_.LineTo(Map(x), Map(y), colour); }
  void DrawLine(float x1, float y1, float x2, float y2, int32_t colour) override {
    target_.DrawLine(Map(x1), Map(y1), Map(x2), Map(y2), colour);
  }
  void SetFillColor(int32_t colour) override { target_.SetFillColor(colour); }
  void FloodFill(int32_t x, int32_t y, int32_t colour) override {
    target_.FloodFill(x * scale_ + (scale_ - 1) / 2, y * scale_ + (scale_ - 1) / 2, colour);
  }
  int32_t BackgroundColor() const override { return target_.BackgroundColor(); }
  float DrawableWidth() const override { return static_cast<float>(kDesignSize); }
  float DrawableHeight() const override { return static_cast<float>(kDesignSize); }
  void SetCaption(const std::string&) override {}

 private:
  // A design pixel's centre to the centre of its block of scale × scale pixels (scale is odd).
  float Map(float v) const { return F(D(v) * scale_ + (scale_ - 1) / 2); }
  Raster& target_;
  int scale_;
};

// Overlap of the unit cell [j, j+1) with [lo, hi).
double Overlap(int j, double lo, double hi) {
  return std::max(0.0, std::min(j + 1.0, hi) - std::max(static_cast<double>(j), lo));
}

}  // namespace

IconImage DrawIcon(int size) {
  size = std::clamp(size, 1, 1024);
  // At least four master pixels to an icon pixel each way; odd, so centres map to centres.
  int scale = std::max(1, (4 * size + kDesignSize - 1) / kDesignSize) | 1;
  const int master = kDesignSize * scale;
  Raster raster(master, master);
  ScaledSurface surface(raster, scale);

  // A throwaway form resets the shared contact state; put back what a running game had.
  const Module1::ContactState savedContact = Module1::Contact;
  {
    NoKeys keys;
    SilentSound sound;
    StoppedClock clock;
    NoRandom random;
    MainFrm form(surface, keys, sound, clock, random, ".");
    auto car = std::make_shared<Thing>(form);
    car->Width = 30;
    car->Length = 60;
    car->X = kDesignSize / 2;
    car->Y = kDesignSize / 2;
    car->Angle = -kPi / 4;
    car->Color = 0x00FF00;
    car->ThingType(Vehicle);
    car->FindPoints();
    surface.Clear();
    car->Draw();
  }
  Module1::Contact = savedContact;

  // Smooth down by area: every master pixel not left at the background is covered.
  IconImage icon;
  icon.size = size;
  icon.rgba.assign(static_cast<size_t>(size) * size * 4, 0);
  const double step = static_cast<double>(master) / size;
  const uint32_t background = static_cast<uint32_t>(raster.BackgroundColor()) & 0xFFFFFF;
  const uint32_t* pixels = raster.Pixels();
  for (int oy = 0; oy < size; ++oy) {
    const double y0 = oy * step, y1 = (oy + 1) * step;
    for (int ox = 0; ox < size; ++ox) {
      const double x0 = ox * step, x1 = (ox + 1) * step;
      double covered = 0, sum[3] = {0, 0, 0};
      for (int my = static_cast<int>(y0); my < master && my < y1; ++my) {
        const double wy = Overlap(my, y0, y1);
        for (int mx = static_cast<int>(x0); mx < master && mx < x1; ++mx) {
          const uint32_t p = pixels[static_cast<size_t>(my) * master + mx];
          if (p == background) continue;
          const double w = wy * Overlap(mx, x0, x1);
          covered += w;
          for (int c = 0; c < 3; ++c) sum[c] += w * ((p >> (8 * c)) & 255);
        }
      }
      if (covered <= 0) continue;
      uint8_t* out = &icon.rgba[(static_cast<size_t>(oy) * size + ox) * 4];
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(RoundToInt(sum[c] / covered));
      out[3] = static_cast<uint8_t>(RoundToInt(255.0 * covered / (step * step)));
    }
  }
  return icon;
}

}  // namespace tb
