#include "web/platform/WebGame.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <chrono>
#include <string>

#include "web/platform/WebKeys.h"

extern "C" {
// The canvas's backing store sized to the element on the screen; its pixel size written out.
void tb_web_fit_canvas(int* width, int* height);
// Draws width x height RGBA pixels on the canvas: enlarged sharply by `scale`, then to the
// placement, smoothly when `smooth`.
void tb_web_present(const void* rgba, int width, int height, int scale, int x, int y, int w, int h,
                    int smooth);
void tb_web_set_title(const char* title);
// The game has closed: the page says so.
void tb_web_closed();
}

namespace tb {

namespace {

SteadyTime SteadyFromMilliseconds(double ms) {
  return SteadyTime(std::chrono::duration_cast<SteadyTime::duration>(
      std::chrono::duration<double, std::milli>(ms)));
}

int ShiftState(bool shift, bool ctrl, bool alt) {
  return (shift ? 1 : 0) | (ctrl ? 2 : 0) | (alt ? 4 : 0);
}

EM_BOOL OnKeyDown(int, const EmscriptenKeyboardEvent* e, void* self) {
  return static_cast<WebGame*>(self)->HandleKey(true, e->code, e->key,
                                                ShiftState(e->shiftKey, e->ctrlKey, e->altKey),
                                                e->ctrlKey || e->altKey || e->metaKey)
             ? EM_TRUE
             : EM_FALSE;
}

EM_BOOL OnKeyUp(int, const EmscriptenKeyboardEvent* e, void* self) {
  return static_cast<WebGame*>(self)->HandleKey(false, e->code, e->key, 0, false) ? EM_TRUE
                                                                                  : EM_FALSE;
}

EM_BOOL OnBlur(int, const EmscriptenFocusEvent*, void* self) {
  static_cast<WebGame*>(self)->LostFocus();
  return EM_FALSE;
}

}  // namespace

void WebGame::Run(TickTarget& game, const Picture& image, WebKeyState* keys) {
  game_ = &game;
  image_ = &image;
  keys_ = keys;
  ListenToInput();
  if (options_.fast) {
    // Unpaced: every tick at once, then the last picture.
    while (!stopped_) PlayOneTick();
    Present();
    return;
  }
  schedule_ = TickSchedule(SteadyFromMilliseconds(emscripten_get_now()));
  Present();
  emscripten_request_animation_frame_loop(&WebGame::OnFrame, this);
}

int WebGame::OnFrame(double, void* self) { return static_cast<WebGame*>(self)->Frame() ? 1 : 0; }

bool WebGame::Frame() {
  if (stopped_) return false;
  // Like the desktop's loop: the first tick of a frame has waited for its time, a second one
  // follows it back to back; the schedule then starts its grid again.
  int ran = 0;
  while (ran < 2 && !stopped_) {
    const SteadyTime now = SteadyFromMilliseconds(emscripten_get_now());
    if (now < schedule_.Due()) break;
    schedule_.Started(now, ran == 0);
    PlayOneTick();
    ++ran;
  }
  if (ran > 0) Present();
  return !stopped_;
}

void WebGame::PlayOneTick() {
  if (game_->Closed() || (options_.maxTicks > 0 && ticksRun_ >= options_.maxTicks)) {
    Stop();
    return;
  }
  if (keys_ != nullptr) keys_->SamplePads();
  const double start = emscripten_get_now();
  game_->Tick();
  tickMilliseconds_ += emscripten_get_now() - start;
  ++ticksRun_;
  if (game_->Closed() || (options_.maxTicks > 0 && ticksRun_ >= options_.maxTicks)) Stop();
}

void WebGame::Stop() {
  if (stopped_) return;
  stopped_ = true;
  if (game_->Closed()) tb_web_closed();
}

void WebGame::Present() {
  const int width = image_->Width();
  const int height = image_->Height();
  if (width <= 0 || height <= 0) return;
  int outWidth = 0, outHeight = 0;
  tb_web_fit_canvas(&outWidth, &outHeight);
  if (outWidth <= 0 || outHeight <= 0) return;
  const ImagePlacement place = PlaceImage(outWidth, outHeight, width, height, options_.scale);
  // The picture's fourth byte is unused; the canvas reads it as alpha.
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  opaque_.resize(count);
  const auto* pixels = static_cast<const uint32_t*>(image_->Pixels());
  for (size_t i = 0; i < count; ++i) opaque_[i] = pixels[i] | 0xFF000000u;
  tb_web_present(opaque_.data(), width, height, place.scale, place.x, place.y, place.width,
                 place.height, place.Smooth(width, height) ? 1 : 0);
  tb_web_set_title(image_->Caption().c_str());
}

void WebGame::ListenToInput() {
  const char* window = EMSCRIPTEN_EVENT_TARGET_WINDOW;
  emscripten_set_keydown_callback(window, this, EM_TRUE, OnKeyDown);
  emscripten_set_keyup_callback(window, this, EM_TRUE, OnKeyUp);
  emscripten_set_blur_callback(window, this, EM_TRUE, OnBlur);
}

bool WebGame::HandleKey(bool down, const std::string& code, const std::string& key, int shift,
                        bool withCommandKey) {
  if (!down) {
    if (keys_ != nullptr) keys_->Release(code);
    return VirtualKeyForKeyCode(code, key) != vk::kNone;
  }
  // The browser's own shortcuts (Ctrl+R, Alt+Left...) stay the browser's.
  if (withCommandKey) return false;
  const uint8_t virtualKey =
      keys_ != nullptr ? keys_->Press(code, key) : VirtualKeyForKeyCode(code, key);
  if (virtualKey == vk::kNone) return false;
  if (!stopped_) game_->KeyDown(virtualKey, shift);
  // Arrows and Space would scroll the page: the game's keys are the game's alone.
  return true;
}

void WebGame::LostFocus() {
  if (keys_ != nullptr) keys_->ReleaseAll();
}

}  // namespace tb
