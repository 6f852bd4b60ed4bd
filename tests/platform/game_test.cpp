// The platform layer: key and controller mapping, window scaling, tick pacing, the clock,
// and the real window loop and game executable under SDL's dummy drivers.
#include <SDL.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/GameTargets.h"
#include "app/Wiring.h"
#include "app/sim/RandomPlayers.h"
#include "app/sim/SimPlatform.h"
#include "files/Files.h"
#include "platform/ExeFolder.h"
#include "platform/SdlGame.h"
#include "platform/SdlKeys.h"
#include "platform/SystemClock.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"
#include "state/Recording.h"
#include "state/Replay.h"
#include "state/WorldHash.h"

extern char** environ;

namespace tb {
namespace {

using std::chrono::microseconds;
using std::chrono::steady_clock;

TEST(ScancodeMapping, LettersArrowsAndEscape) {
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_A, false), 0x41);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_W, true), 0x57);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_Z, false), 0x5A);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_LEFT, false), 0x25);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_UP, true), 0x26);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_RIGHT, false), 0x27);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_DOWN, false), 0x28);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_ESCAPE, false), 0x1B);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_SPACE, false), 0x20);
}

TEST(ScancodeMapping, KeypadIsDigitsOnlyWithNumLock) {
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_KP_0, true), 0x60);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_KP_1, true), 0x61);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_KP_5, true), 0x65);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_KP_9, true), 0x69);
  for (int sc = SDL_SCANCODE_KP_1; sc <= SDL_SCANCODE_KP_0; ++sc)
    EXPECT_EQ(VirtualKeyForScancode(sc, false), vk::kNone) << sc;
}

TEST(ScancodeMapping, KeysTheGameDoesNotUseGiveNothing) {
  for (int sc : {SDL_SCANCODE_1, SDL_SCANCODE_F1, SDL_SCANCODE_LSHIFT, SDL_SCANCODE_KP_PERIOD})
    EXPECT_EQ(VirtualKeyForScancode(sc, true), vk::kNone) << sc;
  // Either Enter starts an online match.
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_RETURN, true), vk::kReturn);
  EXPECT_EQ(VirtualKeyForScancode(SDL_SCANCODE_KP_ENTER, false), vk::kReturn);
}

TEST(ScancodeMapping, KeyboardStateIsReadThroughTheSameMapping) {
  KeyboardMap map;
  std::vector<uint8_t> state(SDL_NUM_SCANCODES, 0);
  state[SDL_SCANCODE_D] = 1;
  state[SDL_SCANCODE_KP_8] = 1;
  EXPECT_TRUE(map.Holds(state.data(), SDL_NUM_SCANCODES, false, 0x44));
  EXPECT_FALSE(map.Holds(state.data(), SDL_NUM_SCANCODES, false, 0x41));
  EXPECT_TRUE(map.Holds(state.data(), SDL_NUM_SCANCODES, true, 0x68));
  EXPECT_FALSE(map.Holds(state.data(), SDL_NUM_SCANCODES, false, 0x68));
  EXPECT_FALSE(map.Holds(state.data(), SDL_NUM_SCANCODES, false, 0x26));  // not an arrow either
  // A short state array (older SDL) must not be read past its end.
  EXPECT_FALSE(map.Holds(state.data(), SDL_SCANCODE_KP_8, true, 0x68));
}

TEST(PadMapping, DpadAndSouthButtonPressThatPlayersKeys) {
  const uint8_t fire[kPadSlots] = {0x45, 0x4F, 0x60, 0x69};
  const uint8_t forward[kPadSlots] = {0x57, 0x49, 0x26, 0x68};
  const PadKeyTable table = PlayersPadKeys();
  for (size_t slot = 0; slot < table.size(); ++slot) {
    const PadKeys& keys = table[slot];
    EXPECT_EQ(keys.fire, fire[slot]);
    EXPECT_EQ(keys.forward, forward[slot]);
    PadState pad;
    pad.dpadUp = pad.dpadLeft = pad.south = true;
    EXPECT_TRUE(PadHoldsKey(keys, pad, keys.forward));
    EXPECT_TRUE(PadHoldsKey(keys, pad, keys.left));
    EXPECT_TRUE(PadHoldsKey(keys, pad, keys.fire));
    EXPECT_FALSE(PadHoldsKey(keys, pad, keys.backward));
    EXPECT_FALSE(PadHoldsKey(keys, pad, keys.right));
    // Another player's keys stay up.
    EXPECT_FALSE(PadHoldsKey(keys, pad, table[(slot + 1) % table.size()].fire));
  }
  // A key the game does not know is never held, whatever the table says.
  EXPECT_FALSE(
      PadHoldsKey(PadKeys{0, 0, 0, 0, 0}, PadState{true, true, true, true, true, 0, 0}, vk::kNone));
}

TEST(PadMapping, StickPressesTheOneDirectionOfItsStrongerAxis) {
  using D = StickDirection;
  EXPECT_EQ(StickDirectionOf(0, 0), D::kNone);
  EXPECT_EQ(StickDirectionOf(12000, 0), D::kNone);          // about 37%: resting drift
  EXPECT_EQ(StickDirectionOf(9000, -9000), D::kNone);       // round: 39% on the diagonal
  EXPECT_EQ(StickDirectionOf(10000, -10000), D::kForward);  // 43% on the diagonal
  EXPECT_EQ(StickDirectionOf(6000, -30000), D::kForward);   // mostly forward, a bit right
  EXPECT_EQ(StickDirectionOf(30000, 8000), D::kRight);
  EXPECT_EQ(StickDirectionOf(-32768, -100), D::kLeft);
  EXPECT_EQ(StickDirectionOf(100, 32767), D::kBackward);
  EXPECT_EQ(StickDirectionOf(-20000, 20000), D::kBackward);  // on the diagonal: driving

  const PadKeys green = PlayersPadKeys()[0];
  PadState pad;
  pad.stickX = 8000;  // forward and a little right: only forward is held
  pad.stickY = -25000;
  EXPECT_TRUE(PadHoldsKey(green, pad, green.forward));
  EXPECT_FALSE(PadHoldsKey(green, pad, green.right));
  EXPECT_FALSE(PadHoldsKey(green, pad, green.backward));
  pad.dpadRight = true;  // the d-pad still adds its own key
  EXPECT_TRUE(PadHoldsKey(green, pad, green.right));
  EXPECT_FALSE(PadHoldsKey(green, pad, green.fire));
}

TEST(PadMapping, PadsTakePlayersInConnectionOrderAndReuseFreedSlots) {
  PadSlots slots;
  EXPECT_EQ(slots.Connect(7), 0);  // Green
  EXPECT_EQ(slots.Connect(3), 1);  // Red
  EXPECT_EQ(slots.Connect(7), 0);  // announced twice: same slot
  slots.Disconnect(7);
  EXPECT_EQ(slots.SlotOf(7), -1);
  EXPECT_EQ(slots.Connect(9), 0);  // Green's slot back
  EXPECT_EQ(slots.SlotOf(3), 1);
  EXPECT_EQ(slots.Connect(10), 2);
  EXPECT_EQ(slots.Connect(11), 3);
  EXPECT_EQ(slots.Connect(12), -1);  // a fifth waits...
  slots.Disconnect(3);
  EXPECT_EQ(slots.SlotOf(12), 1);  // ...and takes the first slot freed
}

TEST(TickPacing, LateTicksCatchUpOnThePeriodGrid) {
  SteadyTime t0{};
  TickSchedule schedule(t0);
  EXPECT_EQ(schedule.Due(), t0);
  schedule.Started(t0 + microseconds(100), true);
  EXPECT_EQ(schedule.Due(), t0 + kTickPeriod);
  // Woken 6 ms late by a busy machine: the grid stays, the next tick comes 6 ms early.
  schedule.Started(t0 + microseconds(26000), true);
  EXPECT_EQ(schedule.Due(), t0 + 2 * kTickPeriod);
  // Late by a whole period less a little: the next one is due at once...
  schedule.Started(t0 + microseconds(59000), true);
  EXPECT_EQ(schedule.Due(), t0 + 3 * kTickPeriod);
  // ...and runs back to back; a third in a row is not allowed: the grid starts again.
  SteadyTime second = t0 + microseconds(61000);
  schedule.Started(second, false);
  EXPECT_EQ(schedule.Due(), second + kTickPeriod);
}

TEST(TickPacing, AStallLongerThanAPeriodRestartsTheGrid) {
  SteadyTime t0{};
  TickSchedule schedule(t0);
  schedule.Started(t0, true);
  SteadyTime stall = t0 + std::chrono::seconds(3);
  schedule.Started(stall, true);
  EXPECT_EQ(schedule.Due() - stall, kTickPeriod);
  SteadyTime justOver = schedule.Due() + kTickPeriod + microseconds(1);
  schedule.Started(justOver, true);
  EXPECT_EQ(schedule.Due(), justOver + kTickPeriod);
}

TEST(GameClock, CountsOnPastMidnight) {
  SteadyTime fake{};
  SystemClock clock(86399.5, [&fake] { return fake; });
  EXPECT_FLOAT_EQ(clock.Now(), 86399.5f);
  fake += std::chrono::seconds(2);
  EXPECT_NEAR(clock.Now(), 86401.5f, 0.01f);
  fake += std::chrono::hours(1);
  EXPECT_NEAR(clock.Now(), 90001.5f, 0.01f);
}

TEST(GameClock, RealClockStartsWithinTheDayAndNeverGoesBack) {
  double day = SystemClock::LocalSecondsOfDay();
  EXPECT_GE(day, 0.0);
  EXPECT_LT(day, 86401.0);
  SystemClock clock;
  float previous = clock.Now();
  EXPECT_GE(previous, 0.0f);
  for (int i = 0; i < 1000; ++i) {
    float now = clock.Now();
    ASSERT_GE(now, previous);
    previous = now;
  }
}

TEST(ExecutableFolder, IsTheFolderOfTheRunningProgram) {
  EXPECT_EQ(WithoutTrailingSlash("/a/b/"), "/a/b");
  EXPECT_EQ(WithoutTrailingSlash("/"), "/");
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(std::filesystem::canonical(ExecutableFolder()), exe.parent_path());
}

TEST(DeveloperSwitches, CountsArePositiveWholeNumbers) {
  EXPECT_EQ(ParsePositiveCount("20"), 20);
  EXPECT_EQ(ParsePositiveCount(nullptr), 0);
  EXPECT_EQ(ParsePositiveCount(""), 0);
  EXPECT_EQ(ParsePositiveCount("0"), 0);
  EXPECT_EQ(ParsePositiveCount("-5"), 0);
  EXPECT_EQ(ParsePositiveCount("12x"), 0);
  EXPECT_EQ(ParsePositiveCount("99999999999999999999"), 0);  // out of range
}

TEST(DeveloperSwitches, AllAreReadFromTheEnvironmentInOnePlace) {
  // Each test runs in a process of its own: the variables set here go no further.
  setenv("TREADBRAWL_MAX_TICKS", "30", 1);
  setenv("TREADBRAWL_TICK_LOG", "/tmp/ticks.log", 1);
  setenv("TREADBRAWL_START_WITH", "2", 1);
  DeveloperSwitches on = ReadDeveloperSwitches();
  EXPECT_EQ(on.window.maxTicks, 30);
  EXPECT_EQ(on.window.tickLogPath, "/tmp/ticks.log");
  EXPECT_EQ(on.window.scale, ScaleMode::kFit);
  EXPECT_EQ(on.startWith, 2);
  setenv("TREADBRAWL_START_WITH", "5", 1);  // more than the seats: never starts by itself
  EXPECT_EQ(ReadDeveloperSwitches().startWith, 0);
  unsetenv("TREADBRAWL_MAX_TICKS");
  unsetenv("TREADBRAWL_TICK_LOG");
  unsetenv("TREADBRAWL_START_WITH");
  DeveloperSwitches off = ReadDeveloperSwitches();
  EXPECT_EQ(off.window.maxTicks, 0);
  EXPECT_TRUE(off.window.tickLogPath.empty());
  EXPECT_EQ(off.startWith, 0);
}

TEST(DeveloperSwitches, HeadlessVideoOnlyWhenAskedFor) {
  EXPECT_TRUE(HeadlessDriverAllowed("x11", nullptr));
  EXPECT_TRUE(HeadlessDriverAllowed("wayland", "wayland"));
  EXPECT_FALSE(HeadlessDriverAllowed("offscreen", nullptr));
  EXPECT_FALSE(HeadlessDriverAllowed("offscreen", "x11"));
  EXPECT_TRUE(HeadlessDriverAllowed("offscreen", "offscreen"));
  EXPECT_TRUE(HeadlessDriverAllowed("dummy", "dummy"));
}

// Counts ticks, records key-downs and draws a red dot in the middle.
class FakeGame final : public TickTarget {
 public:
  explicit FakeGame(Raster& raster) : raster_(raster) {}
  void Tick() override {
    ++ticks;
    raster_.SetPenWidth(40);
    raster_.PlotPoint(291, 277, 0x0000FF);
    if (ticks == 2) raster_.SetCaption("Tick two");
  }
  void KeyDown(uint16_t keyCode, int shift) override {
    keys.push_back(keyCode);
    shifts.push_back(shift);
    if (keyCode == 27) closed = true;
  }
  bool Closed() const override { return closed; }

  int ticks = 0;
  bool closed = false;
  std::vector<uint16_t> keys;
  std::vector<int> shifts;

 private:
  Raster& raster_;
};

void PushKey(SDL_Scancode scancode, SDL_Keycode sym, uint16_t mod) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.state = SDL_PRESSED;
  event.key.keysym.scancode = scancode;
  event.key.keysym.sym = sym;
  event.key.keysym.mod = mod;
  ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

std::string TempPath(const std::string& name) {
  return testing::TempDir() + "treadbrawl_" + std::to_string(getpid()) + "_" + name;
}

TEST(GameLoop, RunsToTheTickLimitShowingImageAndCaption) {
  GameOptions options;
  options.maxTicks = 5;
  options.tickLogPath = TempPath("ticks.log");
  std::remove(options.tickLogPath.c_str());
  Raster raster(582, 555);
  {
    SdlGame game(options);
    ASSERT_TRUE(game.Open(raster.Width(), raster.Height(), raster.Caption(), GameWindowIcon()))
        << game.Error();
    EXPECT_STREQ(SDL_GetWindowTitle(game.Window()), "Form1");
    FakeGame fake(raster);
    steady_clock::time_point begin = steady_clock::now();
    EXPECT_EQ(game.Run(fake, RasterPicture(raster), nullptr), 0);
    auto took = steady_clock::now() - begin;
    EXPECT_EQ(fake.ticks, 5);
    EXPECT_EQ(game.TicksRun(), 5);
    EXPECT_GE(took, microseconds(4 * 20000 - 1000));  // paced, not run flat out
    EXPECT_STREQ(SDL_GetWindowTitle(game.Window()), "Tick two");

    // The red dot reaches the window red, not blue or transparent.
    int w = 0, h = 0;
    SDL_GetWindowSize(game.Window(), &w, &h);
    SDL_Rect centre{w / 2, h / 2, 1, 1};
    uint32_t pixel = 0;
    ASSERT_EQ(SDL_RenderReadPixels(SDL_GetRenderer(game.Window()), &centre,
                                   SDL_PIXELFORMAT_ABGR8888, &pixel, 4),
              0)
        << SDL_GetError();
    EXPECT_EQ(pixel & 0xFFFFFFu, 0x0000FFu);
  }
  std::ifstream log(options.tickLogPath);
  std::vector<long long> starts;
  for (long long t; log >> t;) starts.push_back(t);
  ASSERT_EQ(starts.size(), 5u);
  // On the 20 ms grid: a late tick may make up time, but none comes before its turn.
  for (size_t i = 1; i < starts.size(); ++i) EXPECT_GT(starts[i], starts[i - 1]);
  EXPECT_GE(starts[4] - starts[0], 4 * 20000 - 1000);
  std::remove(options.tickLogPath.c_str());
}

// Draws a white frame round the whole picture, to see where its edges land on the window.
class FramedPicture final : public TickTarget {
 public:
  explicit FramedPicture(Raster& raster) : raster_(raster) {}
  void Tick() override {
    raster_.Clear();
    float w = raster_.DrawableWidth() - 1, h = raster_.DrawableHeight() - 1;
    raster_.SetPenWidth(1);
    raster_.DrawLine(0, 0, w, 0, 0xFFFFFF);
    raster_.LineTo(w, h, 0xFFFFFF);
    raster_.LineTo(0, h, 0xFFFFFF);
    raster_.LineTo(0, 0, 0xFFFFFF);
  }
  void KeyDown(uint16_t, int) override {}
  bool Closed() const override { return false; }

 private:
  Raster& raster_;
};

// The window's pixels after the loop, as 0xRRGGBB.
std::vector<uint32_t> WindowPixels(SDL_Window* window, int& w, int& h) {
  SDL_GetRendererOutputSize(SDL_GetRenderer(window), &w, &h);
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
  SDL_RenderReadPixels(SDL_GetRenderer(window), nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(),
                       w * 4);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

// A window for the raster that stops after the given number of ticks.
std::unique_ptr<SdlGame> OpenWindow(const Raster& raster, long ticks) {
  GameOptions options;
  options.maxTicks = ticks;
  auto game = std::make_unique<SdlGame>(options);
  EXPECT_TRUE(game->Open(raster.Width(), raster.Height(), raster.Caption())) << game->Error();
  return game;
}

TEST(GameLoop, FitModeFillsAWindowOfAnySizeSharply) {
  Raster raster(582, 555);
  std::unique_ptr<SdlGame> window = OpenWindow(raster, 2);
  SdlGame& game = *window;
  ASSERT_NE(game.Window(), nullptr);
  SDL_SetWindowSize(game.Window(), 1000, 900);  // 1.62x: limited by the height
  FramedPicture picture(raster);
  ASSERT_EQ(game.Run(picture, RasterPicture(raster), nullptr), 0);
  int w = 0, h = 0;
  std::vector<uint32_t> pixels = WindowPixels(game.Window(), w, h);
  ASSERT_EQ(w, 1000);
  ASSERT_EQ(h, 900);
  ImagePlacement place = PlaceImage(w, h, 582, 555, ScaleMode::kFit);
  EXPECT_EQ(place.height, 900);
  auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * w + x]; };
  int mid = w / 2;
  // The frame's top and bottom lie on the window's first and last rows...
  EXPECT_NE(at(mid, 0), 0u);
  EXPECT_NE(at(mid, h - 1), 0u);
  // ...its sides at the placement's edges, black outside.
  EXPECT_NE(at(place.x, h / 2), 0u);
  EXPECT_NE(at(place.x + place.width - 1, h / 2), 0u);
  EXPECT_EQ(at(place.x - 1, h / 2), 0u);
  EXPECT_EQ(at(place.x + place.width, h / 2), 0u);
  // A one-pixel line at 1.62x spans one or two window pixels, never a blur wider than that.
  int lit = 0;
  for (int y = 0; y < 8; ++y) lit += at(mid, y) != 0;
  EXPECT_GE(lit, 1);
  EXPECT_LE(lit, 3);
  EXPECT_EQ(at(mid, 10), 0u);
}

TEST(GameLoop, AltEnterTwiceReturnsToTheSameWindow) {
  Raster raster(582, 555);
  std::unique_ptr<SdlGame> window = OpenWindow(raster, 3);
  SdlGame& game = *window;
  ASSERT_NE(game.Window(), nullptr);
  int minW = 0, minH = 0;
  SDL_GetWindowMinimumSize(game.Window(), &minW, &minH);
  EXPECT_EQ(minW, 582);  // never smaller than the picture at 1x
  EXPECT_EQ(minH, 555);
  SDL_SetWindowSize(game.Window(), 700, 650);
  SDL_SetWindowPosition(game.Window(), 20, 30);
  FramedPicture picture(raster);
  PushKey(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT);
  ASSERT_EQ(game.Run(picture, RasterPicture(raster), nullptr), 0);
  EXPECT_TRUE(game.FullScreen());
  PushKey(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_RALT);
  ASSERT_EQ(game.Run(picture, RasterPicture(raster), nullptr), 0);
  EXPECT_FALSE(game.FullScreen());
  int w = 0, h = 0, x = 0, y = 0;
  SDL_GetWindowSize(game.Window(), &w, &h);
  SDL_GetWindowPosition(game.Window(), &x, &y);
  EXPECT_EQ(w, 700);
  EXPECT_EQ(h, 650);
  EXPECT_EQ(x, 20);
  EXPECT_EQ(y, 30);
  int outW = 0, outH = 0;
  WindowPixels(game.Window(), outW, outH);
  EXPECT_EQ(outW, 700);
  EXPECT_EQ(outH, 650);
}

TEST(GameLoop, EscapeWithShiftGoesToTheGameAltEnterDoesNot) {
  Raster raster(582, 555);
  GameOptions options;
  options.maxTicks = 50;
  SdlGame game(options);
  ASSERT_TRUE(game.Open(raster.Width(), raster.Height(), raster.Caption())) << game.Error();
  SdlKeyState keys(PlayersPadKeys());
  FakeGame fake(raster);
  SDL_Event bogusPad{};
  bogusPad.type = SDL_CONTROLLERDEVICEADDED;
  bogusPad.cdevice.which = 99;  // no such device: must be ignored quietly
  SDL_PushEvent(&bogusPad);
  PushKey(SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT);
  PushKey(SDL_SCANCODE_SPACE, SDLK_SPACE, KMOD_NONE);
  PushKey(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, KMOD_LSHIFT);
  EXPECT_EQ(game.Run(fake, RasterPicture(raster), &keys), 0);
  EXPECT_EQ(fake.ticks, 0);  // closed before the first frame
  EXPECT_EQ(fake.keys, (std::vector<uint16_t>{0x20, 27}));
  EXPECT_EQ(fake.shifts, (std::vector<int>{0, 1}));
  EXPECT_TRUE(game.FullScreen());
  EXPECT_EQ(keys.ConnectedPads(), 0);
  EXPECT_FALSE(keys.IsKeyDown(0x41));
}

TEST(GameLoop, CloseButtonEndsTheLoop) {
  Raster raster(582, 555);
  SdlGame game;
  // An icon short of its pixels is left out; the window opens all the same.
  const WindowIcon shortIcon{64, 64, std::vector<uint8_t>(64 * 63 * 4, 0xFF)};
  ASSERT_TRUE(game.Open(raster.Width(), raster.Height(), raster.Caption(), shortIcon))
      << game.Error();
  FakeGame fake(raster);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_EQ(game.Run(fake, RasterPicture(raster), nullptr), 0);
  EXPECT_EQ(fake.ticks, 0);
}

class SilentSound final : public SoundPlayer {
 public:
  void PlaySoundFile(const std::string&) override {}
};

TEST(GameLoop, RealGameTicksThenEscapeClosesIt) {
  Raster raster(582, 555);
  GameOptions options;
  options.maxTicks = 10;
  SdlGame game(options);
  ASSERT_TRUE(game.Open(raster.Width(), raster.Height(), raster.Caption())) << game.Error();
  SdlKeyState keys(PlayersPadKeys());
  SilentSound sound;
  SystemClock clock;
  Pcg32 random(1234, true);
  MainFrm form(raster, keys, sound, clock, random,
               std::filesystem::path(TREADBRAWL_SOUNDS_DIR).parent_path().string());
  form.Load();
  MatchTarget target(form);
  EXPECT_EQ(game.Run(target, RasterPicture(raster), &keys), 0);
  EXPECT_EQ(game.TicksRun(), 10);
  EXPECT_FALSE(form.Closed());
  PushKey(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, KMOD_NONE);
  EXPECT_EQ(game.Run(target, RasterPicture(raster), &keys), 0);
  EXPECT_TRUE(form.Closed());
  EXPECT_EQ(game.TicksRun(), 0);
}

// Four players whose keys a script feeds, tick by tick, to the real loop and clock.
class ScriptedPlayers final : public TickTarget {
 public:
  ScriptedPlayers(TickTarget& game, sim::ScriptedKeys& keys) : game_(game), keys_(keys) {}
  void Tick() override {
    players_.Press(++tick_, keys_);
    game_.Tick();
  }
  void KeyDown(uint16_t keyCode, int shift) override { game_.KeyDown(keyCode, shift); }
  bool Closed() const override { return game_.Closed(); }

 private:
  TickTarget& game_;
  sim::ScriptedKeys& keys_;
  sim::RandomPlayers players_{11};
  int64_t tick_ = 0;
};

std::string RunAndRead(const std::string& command, int& status) {
  FILE* pipe = popen(command.c_str(), "r");
  std::string text;
  if (pipe == nullptr) return text;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  status = pclose(pipe);
  return text;
}

TEST(GameLoop, AMatchRecordedThroughTheGameReplaysInTheSimulator) {
  Raster raster(582, 555);
  GameOptions options;
  options.maxTicks = 160;
  SdlGame game(options);
  ASSERT_TRUE(game.Open(raster.Width(), raster.Height(), raster.Caption())) << game.Error();
  sim::ScriptedKeys keys;
  SilentSound sound;
  SystemClock clock;  // real readings, a fresh one each time
  Pcg32 random;
  RecordingKeys recordedKeys(keys);
  RecordingClock recordedClock(clock);
  MainFrm form(raster, recordedKeys, sound, recordedClock, random, ".");
  form.Load();
  Recorder recorder(recordedKeys, recordedClock);
  const std::string path = TempPath("recorded.tbr");
  std::string problem;
  ASSERT_TRUE(recorder.Start(path, form, raster.Width(), raster.Height(), "test", problem))
      << problem;
  MatchTarget recorded(form, nullptr, &recorder);
  ScriptedPlayers players(recorded, keys);
  EXPECT_EQ(game.Run(players, RasterPicture(raster), nullptr), 0);
  ASSERT_TRUE(recorder.Finish());
  EXPECT_EQ(game.TicksRun(), 160);

  int status = -1;
  std::string hash =
      RunAndRead(std::string(TREADBRAWL_SIM_EXE) + " --replay " + path + " --hash", status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(hash, HashHex(WorldHash(form)) + "\n");
  // On the way the simulator checked the hashes recorded every 50 ticks.
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(path, 1 << 20, bytes, problem)) << problem;
  Replay replay;
  ASSERT_TRUE(ParseReplay(bytes, replay, problem)) << problem;
  EXPECT_EQ(replay.Ticks(), 160);
  EXPECT_EQ(replay.Hashes.size(), 3u);
  std::remove(path.c_str());
}

struct ChildResult {
  bool exited = false;
  int status = -1;
  std::string errors;
};

// A run of the built game, started and not yet waited for.
struct Child {
  pid_t pid = 0;
  std::string errPath;
};

// Starts the built game with the given environment changes, stderr captured to a file.
Child SpawnGame(const std::vector<std::pair<std::string, std::string>>& env,
                std::vector<std::string> args, const std::string& errName = "stderr.txt") {
  std::vector<std::string> vars;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string var = *e;
    bool replaced = false;
    for (const auto& change : env) replaced |= var.rfind(change.first + "=", 0) == 0;
    if (!replaced) vars.push_back(var);
  }
  for (const auto& change : env) vars.push_back(change.first + "=" + change.second);
  std::vector<char*> envp;
  for (std::string& var : vars) envp.push_back(var.data());
  envp.push_back(nullptr);

  Child child;
  child.errPath = TempPath(errName);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, child.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::string exe = TREADBRAWL_GAME_EXE;
  std::vector<char*> argv{exe.data()};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (posix_spawn(&child.pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
    child.pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

ChildResult WaitGame(const Child& child) {
  ChildResult result;
  if (child.pid == 0) return result;
  int wstatus = 0;
  waitpid(child.pid, &wstatus, 0);
  result.exited = WIFEXITED(wstatus);
  result.status = result.exited ? WEXITSTATUS(wstatus) : -WTERMSIG(wstatus);
  std::ifstream err(child.errPath);
  std::stringstream text;
  text << err.rdbuf();
  result.errors = text.str();
  std::remove(child.errPath.c_str());
  return result;
}

ChildResult RunGameExecutable(const std::vector<std::pair<std::string, std::string>>& env,
                              std::vector<std::string> args = {}) {
  return WaitGame(SpawnGame(env, std::move(args)));
}

TEST(GameExecutable, RunsHeadlessToTheTickLimit) {
  ChildResult r = RunGameExecutable(
      {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}, {"TREADBRAWL_MAX_TICKS", "20"}});
  EXPECT_TRUE(r.exited) << "killed by signal " << -r.status;
  EXPECT_EQ(r.status, 0) << r.errors;
}

TEST(GameExecutable, RecordsAMatchAndShowsItAgain) {
  const std::string path = TempPath("game.tbr");
  const std::vector<std::pair<std::string, std::string>> env = {
      {"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}, {"TREADBRAWL_MAX_TICKS", "60"}};
  ChildResult r = RunGameExecutable(env, {"--record", path});
  EXPECT_EQ(r.status, 0) << r.errors;
  std::string bytes, problem;
  ASSERT_TRUE(ReadWholeFile(path, 1 << 20, bytes, problem)) << problem;
  Replay replay;
  ASSERT_TRUE(ParseReplay(bytes, replay, problem)) << problem;
  EXPECT_TRUE(replay.Complete);
  EXPECT_EQ(replay.Ticks(), 60);
  EXPECT_EQ(replay.GameVersion, "1.0.0");
  r = RunGameExecutable(env, {"--replay", path});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  // A damaged file: one line naming it and its problem, status 2, no window needed.
  bytes.resize(bytes.size() - 3);
  ASSERT_TRUE(WriteWholeFile(path, bytes, problem));
  r = RunGameExecutable(env, {"--replay", path});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.errors.rfind("treadbrawl: " + path + ": truncated", 0), 0u) << r.errors;
  EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
  std::remove(path.c_str());
}

// The real game online on the loopback: a host that starts by itself once a joiner is in,
// both recording; both replays play back, and they agree on every tick both hold.
TEST(GameExecutable, PlaysOnlineOnTheLoopbackAndBothReplaysAgree) {
  const std::string port = std::to_string(20000 + getpid() % 30000);
  const std::string hostFile = TempPath("host.tbr"), joinFile = TempPath("join.tbr");
  const std::vector<std::pair<std::string, std::string>> env = {{"SDL_VIDEODRIVER", "dummy"},
                                                                {"SDL_AUDIODRIVER", "dummy"},
                                                                {"TREADBRAWL_MAX_TICKS", "500"},
                                                                {"TREADBRAWL_START_WITH", "2"}};
  // The router is left alone: no test traffic leaves the loopback.
  Child host = SpawnGame(
      env, {"--host", port, "--no-port-mapping", "--record", hostFile, "--bots", "2"}, "host.txt");
  Child join = SpawnGame(env, {"--join", "127.0.0.1:" + port, "--record", joinFile}, "join.txt");
  ChildResult hostRun = WaitGame(host), joinRun = WaitGame(join);
  EXPECT_EQ(hostRun.status, 0) << hostRun.errors;
  EXPECT_EQ(joinRun.status, 0) << joinRun.errors;
  std::vector<Replay> replays;
  for (const std::string& path : {hostFile, joinFile}) {
    int status = -1;
    std::string said =
        RunAndRead(std::string(TREADBRAWL_SIM_EXE) + " --replay " + path + " --hash", status);
    EXPECT_EQ(status, 0) << path << ": " << said;
    std::string bytes, problem;
    ASSERT_TRUE(ReadWholeFile(path, 1 << 24, bytes, problem)) << problem;
    replays.emplace_back();
    ASSERT_TRUE(ParseReplay(bytes, replays.back(), problem)) << problem;
    EXPECT_GE(replays.back().Ticks(), 100) << path;  // fewer on a loaded sanitizer build
    std::printf("%s: %lld ticks, %zu bytes\n", path.c_str(),
                static_cast<long long>(replays.back().Ticks()), bytes.size());
    std::remove(path.c_str());
  }
  const size_t both = std::min(replays[0].Hashes.size(), replays[1].Hashes.size());
  ASSERT_GE(both, 2u);
  for (size_t i = 0; i < both; ++i) EXPECT_EQ(replays[0].Hashes[i], replays[1].Hashes[i]) << i;
}

TEST(GameExecutable, WithoutADisplaySaysSoOnceAndFails) {
  ChildResult r = RunGameExecutable({{"SDL_VIDEODRIVER", "no_such_video_driver"},
                                     {"SDL_AUDIODRIVER", "dummy"},
                                     {"TREADBRAWL_MAX_TICKS", "20"}});
  EXPECT_TRUE(r.exited) << "killed by signal " << -r.status;
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
  EXPECT_EQ(r.errors.rfind("treadbrawl: cannot open a window: ", 0), 0u) << r.errors;
}

TEST(GameExecutable, WithNoDisplayAtAllItsOwnLineIsTheOnlyOne) {
  // Empty counts as unset, for SDL as for the game.
  ChildResult r = RunGameExecutable({{"SDL_VIDEODRIVER", ""},
                                     {"DISPLAY", ""},
                                     {"WAYLAND_DISPLAY", ""},
                                     {"SDL_AUDIODRIVER", "dummy"},
                                     {"TREADBRAWL_MAX_TICKS", "20"}});
  EXPECT_TRUE(r.exited) << "killed by signal " << -r.status;
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.errors,
            "treadbrawl: cannot open a window: no display found (DISPLAY and WAYLAND_DISPLAY "
            "are not set)\n");
}

}  // namespace
}  // namespace tb
