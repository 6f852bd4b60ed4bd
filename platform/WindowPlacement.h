#pragma once
// Where the game's picture goes in the window, and how large the window opens: plain
// arithmetic on pixel sizes, apart from the window so that it can be checked exactly.
namespace tb {

// How the picture is enlarged: to the largest size that fits, or by whole multiples only.
enum class ScaleMode { kFit, kWhole };

// Where the image goes in an output of the given size, centred. The picture is first
// enlarged by the whole multiple `scale` (sharp, nearest pixel); when width x height differs
// from that, a smooth step brings it to its final size, so edges stay crisp without pixels of
// uneven size. Whole mode takes the largest whole multiple that fits (at least 1). Fit mode
// takes the largest size that fits, except that a whole multiple filling at least three
// quarters of it is kept as it stands.
struct ImagePlacement {
  int scale, x, y, width, height;
  // Whether the final size needs the smooth step after the whole multiple.
  bool Smooth(int imageWidth, int imageHeight) const {
    return width != imageWidth * scale || height != imageHeight * scale;
  }
};
// The placement of an image in an output of the given size, as above.
ImagePlacement PlaceImage(int outputWidth, int outputHeight, int imageWidth, int imageHeight,
                          ScaleMode mode);

// The size of the window's client area at start on a desktop with this usable area, leaving
// room for the window frame: the largest whole multiple that fits, or in fit mode, when that
// is less than half the desktop's height, nine tenths of the largest fit. Never below 1x.
struct WindowSize {
  int width, height;
};
// The client area to open with, as above.
WindowSize InitialWindowSize(int usableWidth, int usableHeight, int imageWidth, int imageHeight,
                             ScaleMode mode);

}  // namespace tb
