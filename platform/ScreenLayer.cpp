#include "platform/ScreenLayer.h"

#include <SDL_ttf.h>

#include <algorithm>

namespace tb {

namespace {

constexpr int kFadeInFrames = 15;
constexpr int kFadeOutFrames = 50;
constexpr uint8_t kBacking = 170;  // opacity of the dark strip behind text over the picture

}  // namespace

LayerLayout ArrangeLayer(int outW, int outH, const SDL_Rect& picture) {
  LayerLayout l;
  l.fontPx = std::clamp(outH / 45, 13, 36);
  l.pad = std::max(4, l.fontPx / 2);
  const int leftW = picture.x;
  const int rightW = outW - (picture.x + picture.w);
  // Room for about fifteen characters a line on each side.
  l.bars = std::min(leftW, rightW) >= 9 * l.fontPx;
  if (l.bars) {
    l.left = {l.pad, picture.y + l.pad, leftW - 2 * l.pad, picture.h - 2 * l.pad};
    l.right = {picture.x + picture.w + l.pad, picture.y + l.pad, rightW - 2 * l.pad,
               picture.h - 2 * l.pad};
  }
  return l;
}

ScreenLayer::~ScreenLayer() {
  Forget();
  for (auto& [px, font] : fonts_) TTF_CloseFont(font);
  if (ready_) TTF_Quit();
}

bool ScreenLayer::LoadFont(const std::string& path, std::ostream& err) {
  if (ready_) return true;
  if (TTF_Init() != 0) {
    err << "treadbrawl: no on-screen text: " << TTF_GetError() << '\n';
    return false;
  }
  TTF_Font* trial = TTF_OpenFont(path.c_str(), 16);
  if (trial == nullptr) {
    err << "treadbrawl: no on-screen text: cannot open the font " << path << '\n';
    TTF_Quit();
    return false;
  }
  fonts_[16] = trial;
  fontPath_ = path;
  ready_ = true;
  return true;
}

void ScreenLayer::Notify(const std::string& text, uint32_t rgb) {
  notices_.push_back({{text, rgb}, frame_});
}

TTF_Font* ScreenLayer::FontAt(int px) {
  auto found = fonts_.find(px);
  if (found != fonts_.end()) return found->second;
  TTF_Font* font = TTF_OpenFont(fontPath_.c_str(), px);
  if (font != nullptr) fonts_[px] = font;
  return font;
}

void ScreenLayer::Forget() {
  for (auto& [key, text] : texts_)
    if (text.texture != nullptr) SDL_DestroyTexture(text.texture);
  texts_.clear();
}

const ScreenLayer::Text* ScreenLayer::TextFor(SDL_Renderer* renderer, const LayerLine& line, int px,
                                              int wrap, bool opaque) {
  if (line.text.empty()) return nullptr;
  Key key{line.text, line.rgb, px, wrap, opaque};
  auto found = texts_.find(key);
  if (found != texts_.end()) {
    found->second.used = frame_;
    return found->second.texture != nullptr ? &found->second : nullptr;
  }
  Text& text = texts_[key];
  text.used = frame_;
  TTF_Font* font = FontAt(px);
  if (font == nullptr) return nullptr;
  SDL_Color colour{static_cast<Uint8>(line.rgb >> 16), static_cast<Uint8>(line.rgb >> 8),
                   static_cast<Uint8>(line.rgb), 255};
  const SDL_Color black{0, 0, 0, 255};
  const char* words = line.text.c_str();
  int width = 0, height = 0;
  // Wrapped only when too long, so that a short line's texture is no wider than its words.
  const bool wraps = wrap > 0 && TTF_SizeUTF8(font, words, &width, &height) == 0 && width > wrap;
  const auto w = static_cast<Uint32>(wrap);
  SDL_Surface* surface = opaque
                             ? (wraps ? TTF_RenderUTF8_Shaded_Wrapped(font, words, colour, black, w)
                                      : TTF_RenderUTF8_Shaded(font, words, colour, black))
                             : (wraps ? TTF_RenderUTF8_Blended_Wrapped(font, words, colour, w)
                                      : TTF_RenderUTF8_Blended(font, words, colour));
  if (surface == nullptr) return nullptr;
  text.texture = SDL_CreateTextureFromSurface(renderer, surface);
  text.w = surface->w;
  text.h = surface->h;
  SDL_FreeSurface(surface);
  if (text.texture == nullptr) return nullptr;
  SDL_SetTextureBlendMode(text.texture, opaque ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);
  ++made_;
  return &text;
}

int ScreenLayer::Column(SDL_Renderer* renderer, const std::vector<LayerLine>& lines,
                        const SDL_Rect& box, int y, int px, bool centred, uint8_t alpha,
                        bool backed) {
  const int gap = px / 4;
  for (const LayerLine& line : lines) {
    if (y >= box.y + box.h) break;
    const Text* text = TextFor(renderer, line, px, std::max(px, box.w), !backed);
    if (text == nullptr) {
      y += px / 2;  // an empty line is a small gap
      continue;
    }
    SDL_Rect at{centred ? box.x + (box.w - text->w) / 2 : box.x, y, std::min(text->w, box.w),
                text->h};
    if (backed) {
      SDL_Rect back{at.x - px / 3, at.y, at.w + 2 * (px / 3), at.h + gap};
      SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
      SDL_SetRenderDrawColor(renderer, 0, 0, 0, static_cast<Uint8>(kBacking * alpha / 255));
      SDL_RenderFillRect(renderer, &back);
    }
    if (backed)
      SDL_SetTextureAlphaMod(text->texture, alpha);
    else  // on black, fading is darkening
      SDL_SetTextureColorMod(text->texture, alpha, alpha, alpha);
    SDL_Rect source{0, 0, at.w, at.h};
    SDL_RenderCopy(renderer, text->texture, &source, &at);
    y += text->h + gap;
  }
  return y;
}

uint8_t ScreenLayer::NoticeAlpha(const Notice& n) const {
  const long age = frame_ - n.born;
  long a = 255;
  if (age < kFadeInFrames) a = 255 * (age + 1) / kFadeInFrames;
  const long left = kNoticeFrames - age;
  if (left < kFadeOutFrames) a = std::min(a, 255 * left / kFadeOutFrames);
  return static_cast<uint8_t>(std::clamp(a, 0L, 255L));
}

void ScreenLayer::Draw(SDL_Renderer* renderer, int outW, int outH, const SDL_Rect& picture,
                       bool fullScreen) {
  ++frame_;
  notices_.erase(std::remove_if(notices_.begin(), notices_.end(),
                                [&](const Notice& n) { return frame_ - n.born >= kNoticeFrames; }),
                 notices_.end());
  if (!ready_ || renderer == nullptr) return;
  if (renderer != renderer_) {  // textures belong to the renderer that made them
    Forget();
    renderer_ = renderer;
  }
  const LayerLayout l = ArrangeLayer(outW, outH, picture);
  const int px = l.fontPx;
  if (!content_.menu.empty()) {
    // A page of the start screen: one column down the middle of the picture, sized to it so
    // that the longest page fits at 1x and grows with full screen.
    const int mpx = std::max(12, picture.h / 34);
    const SDL_Rect box{picture.x + picture.w / 20, picture.y + picture.h / 20, picture.w * 18 / 20,
                       picture.h * 18 / 20};
    // Upright in the middle, as a short page would look lost at the top of a large screen.
    int height = 0;
    for (const LayerLine& line : content_.menu) {
      const Text* text = TextFor(renderer, line, mpx, std::max(mpx, box.w), false);
      height += text == nullptr ? mpx / 2 : text->h + mpx / 4;
    }
    // On dark strips, so that it reads over the arena left behind by a match too.
    Column(renderer, content_.menu, box, box.y + std::max(0, (box.h - height) / 2), mpx, true, 255,
           true);
  }
  // Beside the picture the score and the notices stay, over a page as well.
  if (l.bars) {
    int y = Column(renderer, content_.status, l.left, l.left.y, px, false, 255, false);
    if (!content_.status.empty()) y += px;
    y = Column(renderer, content_.banner, l.left, y, px, false, 255, false);
    if (!content_.banner.empty()) y += px;
    Column(renderer, content_.lobby, l.left, y, px, false, 255, false);
    int ry = l.right.y;
    for (const Notice& n : notices_)
      ry = Column(renderer, {n.line}, l.right, ry, px, false, NoticeAlpha(n), false);
    if (!notices_.empty()) ry += px;
    if (fullScreen) Column(renderer, content_.help, l.right, ry, px, false, 255, false);
  } else if (content_.menu.empty()) {
    // No room beside the picture: the fewest words, over its edges.
    const SDL_Rect top{picture.x + l.pad, picture.y + l.pad / 2, picture.w - 2 * l.pad,
                       picture.h / 3};
    int y = Column(renderer, content_.banner, top, top.y, px, true, 255, true);
    for (const Notice& n : notices_)
      y = Column(renderer, {n.line}, top, y, px, true, NoticeAlpha(n), true);
    if (!content_.lobby.empty()) {
      const SDL_Rect middle{picture.x + picture.w / 10, picture.y + picture.h / 3,
                            picture.w * 8 / 10, picture.h * 2 / 3 - l.pad};
      Column(renderer, content_.lobby, middle, middle.y, px, false, 255, false);
    }
  }
  // Text not shown for a few seconds is let go, so a running clock does not pile up.
  for (auto it = texts_.begin(); it != texts_.end();) {
    if (frame_ - it->second.used > kNoticeFrames) {
      if (it->second.texture != nullptr) SDL_DestroyTexture(it->second.texture);
      it = texts_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace tb
