// The start screen in the window's loop, with the dummy video driver: keys, typing and
// controller events pushed as SDL events; and the guard around a match started from it.
#include <SDL.h>
#include <gtest/gtest.h>

#include "app/Wiring.h"
#include "app/front/MenuTarget.h"
#include "platform/SdlGame.h"
#include "platform/SdlKeys.h"
#include "render/Raster.h"

namespace {

using tb::front::Outcome;
using tb::front::StartScreen;

void PushKey(SDL_Scancode sc) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.scancode = sc;
  e.key.keysym.mod = KMOD_NUM;
  SDL_PushEvent(&e);
}
void PushButton(Uint8 button) {
  SDL_Event e{};
  e.type = SDL_CONTROLLERBUTTONDOWN;
  e.cbutton.button = button;
  SDL_PushEvent(&e);
}
void PushAxis(Uint8 axis, Sint16 value) {
  SDL_Event e{};
  e.type = SDL_CONTROLLERAXISMOTION;
  e.caxis.axis = axis;
  e.caxis.value = value;
  SDL_PushEvent(&e);
}
void PushText(const char* text) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  SDL_strlcpy(e.text.text, text, sizeof e.text.text);
  SDL_PushEvent(&e);
}

class MenuInWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    tb::GameOptions options;
    options.maxTicks = 20;  // a bound, should an event go astray
    game_ = std::make_unique<tb::SdlGame>(options);
    ASSERT_TRUE(game_->Open(582, 555, "t")) << game_->Error();
  }
  // Runs the menu until it chooses or the bound is reached.
  Outcome Run(StartScreen& screen) {
    tb::front::MenuTarget menu(screen, nullptr);
    game_->Run(menu, tb::RasterPicture(raster_), nullptr);
    return menu.Chosen();
  }
  std::unique_ptr<tb::SdlGame> game_;
  tb::Raster raster_{582, 555};
};

TEST_F(MenuInWindow, KeysTypingAndEnterJoin) {
  StartScreen screen(tb::front::Settings{}, {});
  PushKey(SDL_SCANCODE_DOWN);
  PushKey(SDL_SCANCODE_DOWN);
  PushKey(SDL_SCANCODE_RETURN);
  PushText("127.0.0.1:7");
  PushKey(SDL_SCANCODE_UP);
  PushKey(SDL_SCANCODE_UP);
  PushKey(SDL_SCANCODE_KP_ENTER);
  Outcome o = Run(screen);
  ASSERT_EQ(o.kind, Outcome::kStart);
  EXPECT_EQ(o.args.join, "127.0.0.1");
  EXPECT_EQ(o.args.joinPort, 7);
}

TEST_F(MenuInWindow, AControllersButtonsAndStickPlayHere) {
  StartScreen screen(tb::front::Settings{}, {});
  PushButton(SDL_CONTROLLER_BUTTON_A);         // Play here
  PushAxis(SDL_CONTROLLER_AXIS_LEFTX, 30000);  // Green: computer, easy
  PushAxis(SDL_CONTROLLER_AXIS_LEFTX, 20000);  // still pushed: no second step
  PushAxis(SDL_CONTROLLER_AXIS_LEFTX, 0);
  PushAxis(SDL_CONTROLLER_AXIS_LEFTY, -30000);  // up: wraps to Back
  PushAxis(SDL_CONTROLLER_AXIS_LEFTY, 0);
  PushButton(SDL_CONTROLLER_BUTTON_DPAD_UP);  // Start
  PushButton(SDL_CONTROLLER_BUTTON_A);
  Outcome o = Run(screen);
  ASSERT_EQ(o.kind, Outcome::kStart);
  EXPECT_EQ(o.args.botSeats, std::vector<std::string>{"Green"});
  EXPECT_EQ(o.args.seatLevels.at("Green"), "easy");
}

TEST_F(MenuInWindow, BOnTheFirstPageQuits) {
  StartScreen screen(tb::front::Settings{}, {});
  PushButton(SDL_CONTROLLER_BUTTON_B);
  EXPECT_EQ(Run(screen).kind, Outcome::kQuit);
}

TEST(StickCrossed, OnePressPerPushBothWays) {
  tb::PadButton b;
  EXPECT_TRUE(tb::StickCrossed(0, 20000, true, b));
  EXPECT_EQ(b, tb::PadButton::kRight);
  EXPECT_FALSE(tb::StickCrossed(20000, 32767, true, b));
  EXPECT_FALSE(tb::StickCrossed(0, 10000, true, b));  // inside the dead zone
  EXPECT_TRUE(tb::StickCrossed(0, -32768, false, b));
  EXPECT_EQ(b, tb::PadButton::kUp);
  EXPECT_TRUE(tb::StickCrossed(5000, 32767, false, b));
  EXPECT_EQ(b, tb::PadButton::kDown);
}

// A stand-in for a match: counts its ticks and what reaches it.
struct CountingTarget : tb::TickTarget {
  int ticks = 0;
  std::vector<uint16_t> keys;
  bool closed = false;
  void Tick() override { ++ticks; }
  void KeyDown(uint16_t k, int) override {
    keys.push_back(k);
    if (k == 0x1B) closed = true;
  }
  bool Closed() const override { return closed; }
};

TEST(GuardedTarget, EscapeAsksAndASecondEscapeLeaves) {
  CountingTarget match;
  tb::front::GuardedTarget guard(match, nullptr, nullptr);
  guard.Tick();
  guard.KeyDown(0x1B, 0);
  EXPECT_TRUE(guard.Asking());
  EXPECT_FALSE(guard.Closed());
  guard.Tick();  // the match waits for the answer
  EXPECT_EQ(match.ticks, 1);
  guard.KeyDown(0x1B, 0);
  EXPECT_TRUE(guard.Closed());
  EXPECT_TRUE(match.keys.empty());  // the match itself never saw Escape
}

TEST(GuardedTarget, AnyOtherKeyPlaysOn) {
  CountingTarget match;
  tb::front::GuardedTarget guard(match, nullptr, nullptr);
  guard.KeyDown(0x1B, 0);
  guard.KeyDown('W', 0);  // the answer, not a key for the match
  EXPECT_FALSE(guard.Asking());
  EXPECT_TRUE(match.keys.empty());
  guard.Tick();
  guard.KeyDown('W', 0);
  EXPECT_EQ(match.ticks, 1);
  EXPECT_EQ(match.keys, std::vector<uint16_t>{'W'});
  EXPECT_FALSE(guard.Closed());
}

}  // namespace

namespace {

TEST(ExtraKeys, KeysOffTheGamesOwnCanBeGivenAndAreReadHeld) {
  EXPECT_EQ(tb::AnyVirtualKeyForScancode(SDL_SCANCODE_1, false), '1');
  EXPECT_EQ(tb::AnyVirtualKeyForScancode(SDL_SCANCODE_0, false), '0');
  EXPECT_EQ(tb::AnyVirtualKeyForScancode(SDL_SCANCODE_RSHIFT, false), 0xA1);
  EXPECT_EQ(tb::AnyVirtualKeyForScancode(SDL_SCANCODE_SLASH, false), 0xBF);
  EXPECT_EQ(tb::AnyVirtualKeyForScancode(SDL_SCANCODE_BACKSPACE, false), 0x08);
  // The game's own keys come out as before, the keypad still only with Num Lock.
  EXPECT_EQ(tb::AnyVirtualKeyForScancode(SDL_SCANCODE_W, false), 'W');
  EXPECT_EQ(tb::AnyVirtualKeyForScancode(SDL_SCANCODE_KP_8, false), 0);
  EXPECT_EQ(tb::AnyVirtualKeyForScancode(SDL_SCANCODE_F1, false), 0);
  tb::KeyboardMap map;
  std::vector<uint8_t> state(SDL_NUM_SCANCODES, 0);
  state[SDL_SCANCODE_RSHIFT] = 1;
  EXPECT_TRUE(map.Holds(state.data(), SDL_NUM_SCANCODES, false, 0xA1));
  EXPECT_FALSE(map.Holds(state.data(), SDL_NUM_SCANCODES, false, 0xA0));
}

}  // namespace

#include "app/GameTargets.h"
#include "app/front/LocalMatch.h"

namespace {

struct StillKeys : tb::KeyState {
  bool IsKeyDown(uint8_t) const override { return false; }
};
struct StepClock : tb::Clock {
  float now = 1000.0f;
  float Now() override { return now += 0.02f; }
};

TEST(GuardedTarget, AMatchOfRoundsEndsAfterItsWinnerHasStoodAWhile) {
  tb::cli::GameArgs args;
  args.rounds = 1;
  tb::Raster raster(582, 555);
  StillKeys keys;
  StepClock clock;
  tb::Pcg32 random(7, true);
  tb::SilentSound sound;
  tb::front::LocalMatch match(args, raster, keys, keys, nullptr, clock, random, sound, ".", 20);
  std::string problem;
  ASSERT_TRUE(match.Start(problem)) << problem;
  tb::MatchTarget target(match.Form(), match.Rounds(), match.Recording());
  tb::front::GuardedTarget guard(target, match.Rounds(), nullptr);
  int ticks = 0;
  while (!guard.Closed() && ticks < 2000) {
    guard.Tick();
    ++ticks;
  }
  ASSERT_TRUE(guard.Closed());
  EXPECT_TRUE(guard.MatchOver());
  EXPECT_TRUE(match.Rounds()->Over());
  // The round's 20 ticks, its pause, then the winner's own three seconds.
  EXPECT_GE(ticks, 20 + tb::front::GuardedTarget::kOverTicks);
  EXPECT_NE(match.Rounds()->ScoreText().find("draw"), std::string::npos);
}

}  // namespace
