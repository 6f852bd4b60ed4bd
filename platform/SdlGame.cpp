#include "platform/SdlGame.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <thread>
#include <utility>

#include "platform/ExeFolder.h"
#include "platform/SdlKeys.h"
#include "platform/WindowManager.h"

namespace tb {

namespace {

using std::chrono::microseconds;
using std::chrono::steady_clock;

// The picture's pixels: bytes R, G, B, unused.
constexpr Uint32 kPictureFormat = SDL_PIXELFORMAT_XBGR8888;

// The game's shift argument: 1 shift, 2 control, 4 alt.
int ShiftState(uint16_t mod) {
  return ((mod & KMOD_SHIFT) ? 1 : 0) | ((mod & KMOD_CTRL) ? 2 : 0) | ((mod & KMOD_ALT) ? 4 : 0);
}

// Sleeps most of the way, then yields for the last fraction of a millisecond: SDL_Delay
// alone may overshoot by a millisecond or more, a pure spin would burn a core. False when the
// deadline had already passed.
bool WaitUntil(SteadyTime deadline) {
  for (bool first = true;; first = false) {
    SteadyTime now = steady_clock::now();
    if (now >= deadline) return !first;
    microseconds left = std::chrono::duration_cast<microseconds>(deadline - now);
    if (left > microseconds(2000)) {
      SDL_Delay(static_cast<Uint32>(left.count() / 1000 - 1));
    } else if (left > microseconds(300)) {
      std::this_thread::sleep_for(left - microseconds(250));
    } else {
      std::this_thread::yield();
    }
  }
}

// Whether the renderer draws through an OpenGL that runs on the processor (Mesa's
// llvmpipe and friends, as in virtual machines and virtual displays).
bool OnSoftwareOpenGl(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0 || info.name == nullptr) return false;
  std::string name = info.name;
  if (name.rfind("opengl", 0) != 0) return false;  // "opengl" and "opengles2"
  using GetString = const unsigned char* (*)(unsigned int);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (getString == nullptr) return false;
  const unsigned char* text = getString(0x1F01);  // GL_RENDERER, of the renderer's context
  if (text == nullptr) return false;
  std::string glRenderer = reinterpret_cast<const char*>(text);
  for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
    if (glRenderer.find(soft) != std::string::npos) return true;
  return false;
}

// An environment variable that is absent or empty.
bool Unset(const char* name) {
  const char* value = SDL_getenv(name);
  return value == nullptr || *value == '\0';
}

}  // namespace

bool HeadlessDriverAllowed(const std::string& driver, const char* requested) {
  if (driver != "offscreen" && driver != "dummy") return true;
  return requested != nullptr && SDL_strcasestr(requested, driver.c_str()) != nullptr;
}

SdlGame::SdlGame(GameOptions options) : options_(std::move(options)) {}

void ShutdownPlatform() { SDL_Quit(); }

SdlGame::~SdlGame() {
  FlushTickLog();
  if (sharp_ != nullptr) SDL_DestroyTexture(sharp_);
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  if (subsystems_ != 0) SDL_QuitSubSystem(subsystems_);
}

bool SdlGame::Open(int imageWidth, int imageHeight, const std::string& caption,
                   const WindowIcon& icon) {
  if (window_ != nullptr) return true;
  // Without a Wayland session, trying Wayland first only prints the library's complaint
  // ahead of our own message; take the other drivers in SDL's order.
  bool noWayland = Unset("WAYLAND_DISPLAY");
  bool noDisplay = noWayland && Unset("DISPLAY");
  bool ourDrivers = noWayland && Unset("SDL_VIDEODRIVER");
  if (ourDrivers)  // an empty variable would win over an ordinary hint
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11,kmsdrm", SDL_HINT_OVERRIDE);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error_ = "cannot open a window: ";
    if (noDisplay)
      error_ += "no display found (DISPLAY and WAYLAND_DISPLAY are not set)";
    else if (ourDrivers)
      error_ += std::string("no display at DISPLAY=") + SDL_getenv("DISPLAY");
    else
      error_ += SDL_GetError();
    return false;
  }
  subsystems_ |= SDL_INIT_VIDEO;
  // With no display SDL falls back to drawing off screen: a game nobody can see that never
  // ends. Only take the headless drivers when they were asked for by name.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver != nullptr && !HeadlessDriverAllowed(driver, SDL_getenv("SDL_VIDEODRIVER"))) {
    error_ = "cannot open a window: no display found";
    return false;
  }
  // Controllers are a bonus: without them the keyboard still plays.
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0) {
    subsystems_ |= SDL_INIT_GAMECONTROLLER;
    LoadControllerMappings(ControllerMappingFiles(ExecutableFolder(), UserConfigFolder()),
                           std::cerr);
  }

  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");  // the frame timer paces us, not the display

  WindowSize size{imageWidth, imageHeight};
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) == 0)
    size = InitialWindowSize(usable.w, usable.h, imageWidth, imageHeight, options_.scale);
  window_ = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             size.width, size.height, SDL_WINDOW_RESIZABLE);
  if (window_ == nullptr) {
    error_ = std::string("cannot open a window: ") + SDL_GetError();
    return false;
  }
  SDL_SetWindowMinimumSize(window_, imageWidth, imageHeight);
  SetIcon(icon);
  SetWindowCaption(window_, caption);
  caption_ = caption;
  renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (renderer_ != nullptr && SDL_getenv("SDL_RENDER_DRIVER") == nullptr &&
      OnSoftwareOpenGl(renderer_)) {
    // OpenGL emulated on the processor costs several times what a plain copy to the
    // window does, so draw in memory and hand the picture straight to the window system.
    SDL_DestroyRenderer(renderer_);
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  }
  if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_ == nullptr) {
    error_ = std::string("cannot draw in the window: ") + SDL_GetError();
    return false;
  }
  return true;
}

void SdlGame::SetIcon(const WindowIcon& icon) {
  constexpr int kLargest = 4096;  // far beyond any icon a desktop shows
  if (icon.width <= 0 || icon.height <= 0 || icon.width > kLargest || icon.height > kLargest ||
      icon.rgba.size() < static_cast<size_t>(icon.width) * static_cast<size_t>(icon.height) * 4)
    return;  // a window without an icon still plays
  // SDL only reads the pixels, and copies them before this returns.
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(icon.rgba.data()), icon.width,
                                         icon.height, 32, icon.width * 4, SDL_PIXELFORMAT_RGBA32);
  if (surface == nullptr) return;  // a window without an icon still plays
  SDL_SetWindowIcon(window_, surface);
  SDL_FreeSurface(surface);
}

bool SdlGame::FullScreen() const {
  return window_ != nullptr &&
         (covering_ || (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) ==
                           SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void SdlGame::ToggleFullScreen() {
  if (!FullScreen()) {
    SDL_GetWindowPosition(window_, &windowed_.x, &windowed_.y);
    SDL_GetWindowSize(window_, &windowed_.w, &windowed_.h);
    SDL_Rect screen;
    if (!HasWindowManager(window_) &&
        SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window_)), &screen) == 0) {
      // Nobody to ask: cover the screen with the window ourselves.
      covering_ = true;
      SDL_SetWindowBordered(window_, SDL_FALSE);
      SDL_SetWindowPosition(window_, screen.x, screen.y);
      SDL_SetWindowSize(window_, screen.w, screen.h);
      SDL_RaiseWindow(window_);
    } else {
      SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    return;
  }
  if (covering_) {
    covering_ = false;
    SDL_SetWindowBordered(window_, SDL_TRUE);
  } else {
    SDL_SetWindowFullscreen(window_, 0);
  }
  // Put the window back as it was, also where no window manager remembers it.
  if (windowed_.w > 0 && windowed_.h > 0) {
    SDL_SetWindowSize(window_, windowed_.w, windowed_.h);
    SDL_SetWindowPosition(window_, windowed_.x, windowed_.y);
  }
}

void SdlGame::HandleEvent(const SDL_Event& event, TickTarget& game, SdlKeyState* keys) {
  switch (event.type) {
    case SDL_QUIT:
      quit_ = true;
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) quit_ = true;
      break;
    case SDL_KEYDOWN: {
      const SDL_Keysym& key = event.key.keysym;
      bool enter = key.scancode == SDL_SCANCODE_RETURN || key.scancode == SDL_SCANCODE_KP_ENTER;
      if (enter && (key.mod & KMOD_ALT)) {
        if (event.key.repeat == 0) ToggleFullScreen();
        break;  // the window's key, not the game's
      }
      uint8_t code = AnyVirtualKeyForScancode(key.scancode, (key.mod & KMOD_NUM) != 0);
      if (code != vk::kNone) game.KeyDown(code, ShiftState(key.mod));
      break;
    }
    case SDL_JOYDEVICEADDED:
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
      if (keys != nullptr) keys->HandleEvent(event);
      if (event.type == SDL_CONTROLLERDEVICEREMOVED) sticks_.erase(event.cdevice.which);
      break;
    case SDL_TEXTINPUT:
      game.TextInput(event.text.text);
      break;
    case SDL_CONTROLLERBUTTONDOWN: {
      static const std::pair<int, PadButton> kButtons[] = {
          {SDL_CONTROLLER_BUTTON_DPAD_UP, PadButton::kUp},
          {SDL_CONTROLLER_BUTTON_DPAD_DOWN, PadButton::kDown},
          {SDL_CONTROLLER_BUTTON_DPAD_LEFT, PadButton::kLeft},
          {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PadButton::kRight},
          {SDL_CONTROLLER_BUTTON_A, PadButton::kA},
          {SDL_CONTROLLER_BUTTON_B, PadButton::kB}};
      for (const auto& b : kButtons)
        if (event.cbutton.button == b.first) game.PadPressed(b.second);
      break;
    }
    case SDL_CONTROLLERAXISMOTION: {
      const bool x = event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX;
      if (!x && event.caxis.axis != SDL_CONTROLLER_AXIS_LEFTY) break;
      auto& stick = sticks_[event.caxis.which];
      int16_t& before = x ? stick.first : stick.second;
      PadButton pushed;
      if (StickCrossed(before, event.caxis.value, x, pushed)) game.PadPressed(pushed);
      before = event.caxis.value;
      break;
    }
    default:
      break;
  }
}

bool SdlGame::Present(const Picture& image) {
  if (image.Width() <= 0 || image.Height() <= 0) return true;
  if (texture_ == nullptr || textureWidth_ != image.Width() || textureHeight_ != image.Height()) {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    // The texture takes the window's own format where it is a plain 32-bit one, so that the
    // copies to the window need no conversion; the picture's bytes (R, G, B, unused) are
    // converted once as they go in. The unused byte is ignored, never read as transparency.
    textureFormat_ = SDL_GetWindowPixelFormat(window_);
    if (SDL_BYTESPERPIXEL(textureFormat_) != 4 || SDL_ISPIXELFORMAT_ALPHA(textureFormat_) ||
        SDL_ISPIXELFORMAT_INDEXED(textureFormat_))
      textureFormat_ = kPictureFormat;
    texture_ = SDL_CreateTexture(renderer_, textureFormat_, SDL_TEXTUREACCESS_STREAMING,
                                 image.Width(), image.Height());
    if (texture_ == nullptr) {
      error_ = std::string("cannot draw in the window: ") + SDL_GetError();
      return false;
    }
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    textureWidth_ = image.Width();
    textureHeight_ = image.Height();
    sharpScale_ = 0;
  }
  // One upload a tick; the renderer does the scaling.
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) == 0) {
    SDL_ConvertPixels(image.Width(), image.Height(), kPictureFormat, image.Pixels(),
                      image.Width() * 4, textureFormat_, pixels, pitch);
    SDL_UnlockTexture(texture_);
  }
  int outputWidth = 0, outputHeight = 0;
  if (SDL_GetRendererOutputSize(renderer_, &outputWidth, &outputHeight) != 0)
    SDL_GetWindowSize(window_, &outputWidth, &outputHeight);
  ImagePlacement place =
      PlaceImage(outputWidth, outputHeight, image.Width(), image.Height(), options_.scale);
  SDL_Rect target{place.x, place.y, place.width, place.height};
  SDL_Texture* shown = texture_;
  bool smooth = place.Smooth(image.Width(), image.Height());
  if (smooth && place.scale > 1 && SharpenInto(place.scale)) shown = sharp_;
  SDL_SetTextureScaleMode(texture_,
                          smooth && shown == texture_ ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, shown, nullptr, &target);
  if (layer_ != nullptr) layer_->Draw(renderer_, outputWidth, outputHeight, target, FullScreen());
  SDL_RenderPresent(renderer_);
  return true;
}

bool SdlGame::SharpenInto(int scale) {
  if (sharp_ == nullptr || sharpScale_ != scale) {
    if (sharp_ != nullptr) SDL_DestroyTexture(sharp_);
    sharpScale_ = 0;
    sharp_ = SDL_CreateTexture(renderer_, textureFormat_, SDL_TEXTUREACCESS_TARGET,
                               textureWidth_ * scale, textureHeight_ * scale);
    if (sharp_ == nullptr) return false;  // no render targets here: smooth from 1x instead
    SDL_SetTextureBlendMode(sharp_, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(sharp_, SDL_ScaleModeLinear);
    sharpScale_ = scale;
  }
  SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
  if (SDL_SetRenderTarget(renderer_, sharp_) != 0) return false;
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_SetRenderTarget(renderer_, nullptr);
  return true;
}

int SdlGame::Run(TickTarget& game, const Picture& image, SdlKeyState* keys) {
  ticksRun_ = 0;
  if (window_ == nullptr) {
    if (error_.empty()) error_ = "cannot open a window: not opened";
    return 1;
  }
  SteadyTime now = steady_clock::now();
  if (!started_) {
    started_ = true;
    start_ = now;
  }
  TickSchedule schedule(now);
  int status = 0;
  while (!quit_ && !game.Closed()) {
    if (options_.maxTicks > 0 && ticksRun_ >= options_.maxTicks) break;
    bool waited = WaitUntil(schedule.Due());
    SteadyTime tickStart = steady_clock::now();
    schedule.Started(tickStart, waited);

    SDL_Event event;
    while (SDL_PollEvent(&event)) HandleEvent(event, game, keys);
    if (quit_ || game.Closed()) break;

    game.Tick();
    ++ticksRun_;
    if (!options_.tickLogPath.empty())
      tickLog_.push_back(std::chrono::duration_cast<microseconds>(tickStart - start_).count());
    if (image.Caption() != caption_) {
      caption_ = image.Caption();
      SetWindowCaption(window_, caption_);
    }
    if (!Present(image)) {
      status = 1;
      break;
    }
  }
  FlushTickLog();
  return status;
}

void SdlGame::FlushTickLog() {
  if (options_.tickLogPath.empty() || tickLog_.empty()) return;
  std::ofstream log(options_.tickLogPath, std::ios::app);
  for (int64_t t : tickLog_) log << t << '\n';
  tickLog_.clear();
}

}  // namespace tb
