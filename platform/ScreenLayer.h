#pragma once
// Text drawn over the presented picture at the output's own resolution, never into the
// game's image: in the side bars when there is room beside the picture, otherwise short
// notices over its top edge and the lobby over the middle.
#include <SDL.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/LayerContent.h"

typedef struct _TTF_Font TTF_Font;

namespace tb {

// The font the layer uses, from Debian's fonts-dejavu-core.
inline constexpr const char* kLayerFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Where the layer puts its text in an output of a size around the picture's rectangle.
struct LayerLayout {
  int fontPx = 0;     // the text's pixel height
  int pad = 0;        // margin around text
  bool bars = false;  // the side bars are wide enough for text
  SDL_Rect left{};    // status, banner and lobby when `bars`
  SDL_Rect right{};   // notices and help when `bars`
};
// The layout for an output of outW x outH with the picture at `picture`.
LayerLayout ArrangeLayer(int outW, int outH, const SDL_Rect& picture);

class ScreenLayer {
 public:
  ScreenLayer() = default;
  ~ScreenLayer();
  ScreenLayer(const ScreenLayer&) = delete;
  ScreenLayer& operator=(const ScreenLayer&) = delete;

  // Loads the font; false after one line on `err` when it cannot, and then draws nothing.
  bool LoadFont(const std::string& path, std::ostream& err);
  // What to show from the next frame on; the game rewrites it each tick.
  LayerContent& Content() { return content_; }
  // A short notice that fades in and out over a few seconds.
  void Notify(const std::string& text, uint32_t rgb = 0xFFFFFF);
  // Draws over the output (outW x outH) where the picture lies at `picture`; `fullScreen`
  // adds the help. Call once a frame, after the picture and before presenting.
  void Draw(SDL_Renderer* renderer, int outW, int outH, const SDL_Rect& picture, bool fullScreen);
  // Text textures made so far, for telling that unchanged text is not made again.
  long TexturesMade() const { return made_; }

  // A notice stays this many frames (four seconds at 50 a second).
  static constexpr int kNoticeFrames = 200;

 private:
  struct Notice {
    LayerLine line;
    long born;
  };
  struct Text {
    SDL_Texture* texture = nullptr;
    int w = 0, h = 0;
    long used = 0;
  };
  using Key = std::tuple<std::string, uint32_t, int, int, bool>;
  // The texture of a line at a size, wrapped to `wrap` pixels when longer; null if none.
  // An opaque one has the black of the bars behind its letters and is copied without
  // blending, which costs a fraction of blending on a software renderer.
  const Text* TextFor(SDL_Renderer* renderer, const LayerLine& line, int px, int wrap, bool opaque);
  TTF_Font* FontAt(int px);
  // Draws lines from the top of `box`, left-aligned or centred, faded to `alpha`; over the
  // picture (`backed`) on a dark strip, else opaque on the black bars. Returns the y below.
  int Column(SDL_Renderer* renderer, const std::vector<LayerLine>& lines, const SDL_Rect& box,
             int y, int px, bool centred, uint8_t alpha, bool backed);
  uint8_t NoticeAlpha(const Notice& n) const;
  void Forget();

  std::string fontPath_;
  bool ready_ = false;
  std::map<int, TTF_Font*> fonts_;
  std::map<Key, Text> texts_;
  SDL_Renderer* renderer_ = nullptr;  // the one the textures belong to
  LayerContent content_;
  std::vector<Notice> notices_;
  long frame_ = 0;
  long made_ = 0;
};

}  // namespace tb
