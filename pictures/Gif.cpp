#include "pictures/Gif.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace tb::sim {

namespace {

// A 256-entry colour map holding the given colours first.
ColorMapObject* MakeMap(const std::vector<uint32_t>& colours) {
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  for (int i = 0; i < 256; ++i) {
    uint32_t c = i < static_cast<int>(colours.size()) ? colours[i] : 0;
    map->Colors[i] = {static_cast<GifByteType>(c & 0xFF), static_cast<GifByteType>(c >> 8 & 0xFF),
                      static_cast<GifByteType>(c >> 16 & 0xFF)};
  }
  return map;
}

}  // namespace

bool GifClip::AddFrame(const Raster& picture, std::string& problem) {
  const int w = picture.Width(), h = picture.Height();
  if (frames_.empty()) {
    width_ = w;
    height_ = h;
  } else if (w != width_ || h != height_) {
    problem = path_ + ": the picture changed size during the clip";
    return false;
  }
  std::vector<uint16_t> now(static_cast<size_t>(w) * static_cast<size_t>(h));
  const uint32_t* px = picture.Pixels();
  uint32_t lastColour = 0;
  int lastIndex = -1;
  for (size_t i = 0; i < now.size(); ++i) {
    const uint32_t c = px[i] & 0xFFFFFFu;
    if (lastIndex < 0 || c != lastColour) {  // runs of one colour are the rule
      auto it = index_.find(c);
      if (it == index_.end()) {
        if (palette_.size() >= kUnchanged) {
          problem = path_ + ": the clip has too many colours";
          return false;
        }
        it = index_.emplace(c, static_cast<uint16_t>(palette_.size())).first;
        palette_.push_back(c);
      }
      lastColour = c;
      lastIndex = it->second;
    }
    now[i] = static_cast<uint16_t>(lastIndex);
  }

  Frame f;
  if (frames_.empty()) {
    f.width = w;
    f.height = h;
    f.pixels = now;
  } else {
    int x0 = w, y0 = h, x1 = -1, y1 = -1;
    for (int y = 0; y < h; ++y) {
      const uint16_t* a = &now[static_cast<size_t>(y) * w];
      const uint16_t* b = &shown_[static_cast<size_t>(y) * w];
      if (std::equal(a, a + w, b)) continue;
      int left = 0, right = w - 1;
      while (a[left] == b[left]) ++left;
      while (a[right] == b[right]) --right;
      x0 = std::min(x0, left);
      x1 = std::max(x1, right);
      y0 = std::min(y0, y);
      y1 = y;
    }
    if (x1 < 0) x0 = x1 = y0 = y1 = 0;  // nothing changed: one transparent pixel keeps time
    f.x = x0;
    f.y = y0;
    f.width = x1 - x0 + 1;
    f.height = y1 - y0 + 1;
    f.pixels.resize(static_cast<size_t>(f.width) * f.height);
    for (int y = 0; y < f.height; ++y) {
      for (int x = 0; x < f.width; ++x) {
        size_t at = static_cast<size_t>(y0 + y) * w + (x0 + x);
        f.pixels[static_cast<size_t>(y) * f.width + x] =
            now[at] == shown_[at] ? kUnchanged : now[at];
      }
    }
  }
  for (uint16_t p : f.pixels) f.ownPalette = f.ownPalette || (p != kUnchanged && p >= kMaxColours);
  if (f.ownPalette) {
    std::vector<uint16_t> used(f.pixels);
    std::sort(used.begin(), used.end());
    if (std::unique(used.begin(), used.end()) - used.begin() > kMaxColours + 1) {
      problem = path_ + ": a frame has more than " + std::to_string(kMaxColours) + " colours";
      return false;
    }
  }
  shown_ = std::move(now);
  frames_.push_back(std::move(f));
  return true;
}

bool GifClip::Write(std::string& problem) const {
  if (frames_.empty()) {
    problem = path_ + ": no frames (the run ended before tick " + std::to_string(from_) + ")";
    return false;
  }
  int error = 0;
  // Opened here rather than by giflib, which would make the file readable by its owner only.
  int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  GifFileType* gif = fd < 0 ? nullptr : EGifOpenFileHandle(fd, &error);
  if (gif == nullptr && fd >= 0) close(fd);
  if (gif == nullptr) {
    problem = path_ + ": cannot be written";
    return false;
  }
  // The shared palette: the first colours of the clip, the transparent slot last.
  std::vector<uint32_t> shared(palette_.begin(),
                               palette_.begin() + std::min<size_t>(palette_.size(), kMaxColours));
  std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(MakeMap(shared),
                                                                 &GifFreeMapObject);
  bool ok = EGifPutScreenDesc(gif, width_, height_, 8, 0, map.get()) == GIF_OK;
  EGifSetGifVersion(gif, true);
  // Loop for ever.
  const GifByteType loop[3] = {1, 0, 0};
  ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
       EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK &&
       EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
  for (size_t i = 0; ok && i < frames_.size(); ++i) {
    const Frame& f = frames_[i];
    GraphicsControlBlock gcb;
    gcb.DisposalMode = DISPOSE_DO_NOT;
    gcb.UserInputFlag = false;
    gcb.DelayTime = kDelay;
    gcb.TransparentColor = i == 0 ? NO_TRANSPARENT_COLOR : kMaxColours;
    GifByteType ext[4];
    size_t len = EGifGCBToExtension(&gcb, ext);
    // Indices into the shared palette, or into the frame's own made of the colours it uses.
    std::vector<GifPixelType> line(f.pixels.size());
    std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> own(nullptr, &GifFreeMapObject);
    if (f.ownPalette) {
      std::vector<uint16_t> used;
      for (uint16_t p : f.pixels)
        if (p != kUnchanged) used.push_back(p);
      std::sort(used.begin(), used.end());
      used.erase(std::unique(used.begin(), used.end()), used.end());
      std::vector<uint32_t> colours;
      for (uint16_t p : used) colours.push_back(palette_[p]);
      own.reset(MakeMap(colours));
      for (size_t k = 0; k < f.pixels.size(); ++k) {
        line[k] = f.pixels[k] == kUnchanged
                      ? kMaxColours
                      : static_cast<GifPixelType>(
                            std::lower_bound(used.begin(), used.end(), f.pixels[k]) - used.begin());
      }
    } else {
      for (size_t k = 0; k < f.pixels.size(); ++k)
        line[k] = static_cast<GifPixelType>(f.pixels[k] == kUnchanged ? kMaxColours : f.pixels[k]);
    }
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext) == GIF_OK &&
         EGifPutImageDesc(gif, f.x, f.y, f.width, f.height, false, own.get()) == GIF_OK;
    for (int y = 0; ok && y < f.height; ++y)
      ok = EGifPutLine(gif, &line[static_cast<size_t>(y) * f.width], f.width) == GIF_OK;
  }
  if (!ok) error = gif->Error;
  if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  if (!ok) {
    problem = path_ + ": cannot be written (" + std::string(GifErrorString(error)) + ")";
    return false;
  }
  return true;
}

}  // namespace tb::sim
