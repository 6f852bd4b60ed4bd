#include "platform/WindowPlacement.h"

#include <algorithm>
#include <cstdint>

namespace tb {
namespace {

// Room for the title bar and borders, which the usable desktop area does not include.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;

}  // namespace

ImagePlacement PlaceImage(int outputWidth, int outputHeight, int imageWidth, int imageHeight,
                          ScaleMode mode) {
  ImagePlacement p{1, 0, 0, imageWidth, imageHeight};
  if (imageWidth <= 0 || imageHeight <= 0) return p;
  p.scale = std::max(1, std::min(outputWidth / imageWidth, outputHeight / imageHeight));
  p.width = imageWidth * p.scale;
  p.height = imageHeight * p.scale;
  if (mode == ScaleMode::kFit && outputWidth > 0 && outputHeight > 0) {
    int64_t w = outputWidth, h = outputHeight;
    // The side that limits the picture fills the output; the other keeps the aspect ratio.
    if (w * imageHeight <= h * imageWidth)
      h = (2 * w * imageHeight + imageWidth) / (2 * imageWidth);
    else
      w = (2 * h * imageWidth + imageHeight) / (2 * imageHeight);
    bool wholeFits = outputWidth >= imageWidth && outputHeight >= imageHeight;
    if (!wholeFits || 4 * static_cast<int64_t>(p.height) < 3 * h) {
      p.width = static_cast<int>(w);
      p.height = static_cast<int>(h);
      p.scale = std::max(1, static_cast<int>(std::max((w + imageWidth - 1) / imageWidth,
                                                      (h + imageHeight - 1) / imageHeight)));
    }
  }
  p.x = (outputWidth - p.width) / 2;
  p.y = (outputHeight - p.height) / 2;
  return p;
}

WindowSize InitialWindowSize(int usableWidth, int usableHeight, int imageWidth, int imageHeight,
                             ScaleMode mode) {
  int w = usableWidth - kFrameWidth, h = usableHeight - kFrameHeight;
  ImagePlacement whole = PlaceImage(w, h, imageWidth, imageHeight, ScaleMode::kWhole);
  // A whole multiple is exact and the cheapest to show; it does when it is large enough.
  if (mode == ScaleMode::kWhole || 2 * whole.height >= usableHeight)
    return {whole.width, whole.height};
  ImagePlacement fit = PlaceImage(w * 9 / 10, h * 9 / 10, imageWidth, imageHeight, mode);
  if (fit.width < imageWidth || fit.height < imageHeight) return {imageWidth, imageHeight};
  return {fit.width, fit.height};
}

}  // namespace tb
