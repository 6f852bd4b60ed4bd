#include "shell/Icon.h"

#include <memory>

#include "geometry/Numeric.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

namespace tb {

namespace {

// The drawing needs a window but nothing from the outside world.
class NoKeys final : public KeyState {
 public:
  bool IsKeyDown(uint8_t) const override { return false; }
};
class NoSound final : public SoundPlayer {
 public:
  void PlaySoundFile(const std::string&) override {}
};
class StillClock final : public Clock {
 public:
  float Now() override { return 0; }
};

}  // namespace

void DrawIcon(Raster& raster) {
  NoKeys keys;
  NoSound sound;
  StillClock clock;
  Pcg32 random(1, true);
  MainFrm form(raster, keys, sound, clock, random, ".");
  auto car = std::make_shared<Thing>(form);
  car->Width = 30;
  car->Length = 60;
  car->X = raster.DrawableWidth() / 2;
  car->Y = raster.DrawableHeight() / 2;
  car->Angle = -kPi / 4;
  car->Color = 0x00FF00;
  car->ThingType(Vehicle);
  car->FindPoints();
  raster.Clear();
  car->Draw();
}

std::vector<uint8_t> WithTransparentBackground(const Raster& raster) {
  const int w = raster.Width(), h = raster.Height();
  const uint32_t background = static_cast<uint32_t>(raster.BackgroundColor());
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
  std::vector<bool> outside(static_cast<size_t>(w) * h, false);
  std::vector<int> stack;
  auto visit = [&](int x, int y) {
    size_t i = static_cast<size_t>(y) * w + x;
    if (outside[i] || raster.PixelAt(x, y) != background) return;
    outside[i] = true;
    stack.push_back(static_cast<int>(i));
  };
  for (int x = 0; x < w; ++x) {
    visit(x, 0);
    visit(x, h - 1);
  }
  for (int y = 0; y < h; ++y) {
    visit(0, y);
    visit(w - 1, y);
  }
  while (!stack.empty()) {
    int i = stack.back();
    stack.pop_back();
    int x = i % w, y = i / w;
    if (x > 0) visit(x - 1, y);
    if (x + 1 < w) visit(x + 1, y);
    if (y > 0) visit(x, y - 1);
    if (y + 1 < h) visit(x, y + 1);
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      size_t i = static_cast<size_t>(y) * w + x;
      uint32_t c = raster.PixelAt(x, y);
      rgba[i * 4 + 0] = static_cast<uint8_t>(c & 0xFF);
      rgba[i * 4 + 1] = static_cast<uint8_t>((c >> 8) & 0xFF);
      rgba[i * 4 + 2] = static_cast<uint8_t>((c >> 16) & 0xFF);
      rgba[i * 4 + 3] = outside[i] ? 0 : 255;
    }
  }
  return rgba;
}

}  // namespace tb
