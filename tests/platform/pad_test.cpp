// Game controllers end to end: SDL's virtual controllers plugged into the real window loop,
// read through the same key state the game polls.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/Wiring.h"
#include "platform/SdlGame.h"
#include "platform/SdlKeys.h"
#include "render/Raster.h"

namespace tb {
namespace {

constexpr uint8_t kGreenRight = 0x44, kGreenLeft = 0x41, kGreenForward = 0x57,
                  kGreenBackward = 0x53, kGreenFire = 0x45, kRedForward = 0x49;

// Attaches a virtual joystick; a game controller unless `unknown`. Returns its device index.
int AttachPad(const char* name, bool unknown = false) {
  SDL_VirtualJoystickDesc desc;
  SDL_zero(desc);
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = unknown ? SDL_JOYSTICK_TYPE_UNKNOWN : SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  desc.name = name;
  return SDL_JoystickAttachVirtualEx(&desc);
}

// Runs the window loop one tick per step; each step sees the keys of that tick and may then
// move the pads for the next one.
class ScriptedTicks final : public TickTarget {
 public:
  using Step = std::function<void(const SdlKeyState& keys)>;
  ScriptedTicks(const SdlKeyState& keys, std::vector<Step> steps)
      : keys_(keys), steps_(std::move(steps)) {}
  void Tick() override {
    if (next_ < steps_.size()) steps_[next_++](keys_);
  }
  void KeyDown(uint16_t, int) override {}
  bool Closed() const override { return next_ >= steps_.size(); }

 private:
  const SdlKeyState& keys_;
  std::vector<Step> steps_;
  size_t next_ = 0;
};

class VirtualPads : public testing::Test {
 protected:
  void SetUp() override {
    // No window has the focus under the dummy driver; pads must still be read.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    ASSERT_TRUE(game_.Open(raster_.Width(), raster_.Height(), raster_.Caption())) << game_.Error();
    ASSERT_NE(SDL_WasInit(SDL_INIT_GAMECONTROLLER), 0u);
  }
  void TearDown() override {
    for (int i = SDL_NumJoysticks() - 1; i >= 0; --i)
      if (SDL_JoystickIsVirtual(i)) SDL_JoystickDetachVirtual(i);
  }
  int Run(SdlKeyState& keys, std::vector<ScriptedTicks::Step> steps) {
    ScriptedTicks script(keys, std::move(steps));
    return game_.Run(script, RasterPicture(raster_), &keys);
  }

  Raster raster_{582, 555};
  SdlGame game_;
};

SDL_Joystick* PadAt(int index) {
  return SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
}

TEST_F(VirtualPads, StickDpadAndButtonDriveTheirPlayerUntilUnplugged) {
  std::ostringstream warnings;
  SdlKeyState keys(PlayersPadKeys(), warnings);
  int index = AttachPad("Test pad");
  ASSERT_GE(index, 0) << SDL_GetError();
  std::vector<bool> seen;
  auto set = [index](int axisX, int axisY) {
    SDL_Joystick* pad = PadAt(index);
    ASSERT_NE(pad, nullptr);
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, static_cast<Sint16>(axisX));
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, static_cast<Sint16>(axisY));
  };
  auto button = [index](SDL_GameControllerButton b, bool down) {
    SDL_JoystickSetVirtualButton(PadAt(index), b, down ? SDL_PRESSED : SDL_RELEASED);
  };
  EXPECT_EQ(Run(keys, {
                          [&](const SdlKeyState& k) {
                            ASSERT_EQ(k.ConnectedPads(), 1);  // plugged in before the loop: Green
                            EXPECT_FALSE(k.IsKeyDown(kGreenForward));
                            set(8000, -25000);  // mostly forward, a little right
                          },
                          [&](const SdlKeyState& k) {
                            EXPECT_TRUE(k.IsKeyDown(kGreenForward));
                            EXPECT_FALSE(k.IsKeyDown(kGreenRight));
                            EXPECT_FALSE(k.IsKeyDown(kRedForward));  // Red's keys stay up
                            set(-30000, 5000);
                          },
                          [&](const SdlKeyState& k) {
                            EXPECT_TRUE(k.IsKeyDown(kGreenLeft));
                            EXPECT_FALSE(k.IsKeyDown(kGreenBackward));
                            set(0, 0);
                            button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
                            button(SDL_CONTROLLER_BUTTON_A, true);
                          },
                          [&](const SdlKeyState& k) {
                            EXPECT_TRUE(k.IsKeyDown(kGreenRight));
                            EXPECT_TRUE(k.IsKeyDown(kGreenFire));
                            EXPECT_FALSE(k.IsKeyDown(kGreenLeft));
                            ASSERT_EQ(SDL_JoystickDetachVirtual(index), 0) << SDL_GetError();
                          },
                          [&](const SdlKeyState& k) {
                            EXPECT_EQ(k.ConnectedPads(), 0);
                            EXPECT_FALSE(k.IsKeyDown(kGreenRight));
                            EXPECT_FALSE(k.IsKeyDown(kGreenFire));
                          },
                      }),
            0);
  EXPECT_EQ(warnings.str(), "");
}

TEST_F(VirtualPads, SecondPadIsRedAndAnUnmappedOneIsNamedOnce) {
  std::ostringstream warnings;
  SdlKeyState keys(PlayersPadKeys(), warnings);
  int green = AttachPad("First pad");
  int red = AttachPad("Second pad");
  AttachPad("Odd stick", true);
  AttachPad("Odd stick", true);  // the same kind again: not named twice
  ASSERT_GE(red, 0) << SDL_GetError();
  EXPECT_EQ(Run(keys, {
                          [&](const SdlKeyState& k) {
                            EXPECT_EQ(k.ConnectedPads(), 2);
                            SDL_JoystickSetVirtualButton(PadAt(red), SDL_CONTROLLER_BUTTON_DPAD_UP,
                                                         SDL_PRESSED);
                          },
                          [&](const SdlKeyState& k) {
                            EXPECT_TRUE(k.IsKeyDown(kRedForward));
                            EXPECT_FALSE(k.IsKeyDown(kGreenForward));
                            SDL_JoystickDetachVirtual(green);
                          },
                          [&](const SdlKeyState& k) {
                            EXPECT_EQ(k.ConnectedPads(), 1);
                            EXPECT_TRUE(k.IsKeyDown(kRedForward));  // Red stays Red
                          },
                      }),
            0);
  EXPECT_EQ(warnings.str(),
            "treadbrawl: game controller \"Odd stick\" has no mapping and is not used; add one "
            "to gamecontrollerdb.txt beside the game or in ~/.config/treadbrawl/\n");
}

TEST_F(VirtualPads, MappingFileMakesAnUnknownPadPlay) {
  std::ostringstream warnings;
  SdlKeyState keys(PlayersPadKeys(), warnings);
  int index = AttachPad("Homemade stick", true);
  ASSERT_GE(index, 0) << SDL_GetError();
  ASSERT_FALSE(SDL_IsGameController(index));
  char text[64];
  SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), text, sizeof text);
  std::string guid = text;
  guid.replace(4, 4, "0000");  // the name's checksum, which published mappings leave out
  std::string folder = testing::TempDir() + "treadbrawl_pads_" + std::to_string(getpid());
  std::string db = folder + "/gamecontrollerdb.txt";
  ASSERT_EQ(system(("mkdir -p '" + folder + "'").c_str()), 0);
  std::ofstream(db) << "# a comment line\n"
                    << guid
                    << ",Homemade stick,a:b3,leftx:a0,lefty:a1,dpup:b11,dpdown:b12,dpleft:b13,"
                       "dpright:b14,platform:Linux,\n";
  std::vector<std::string> files = ControllerMappingFiles(folder, folder + "/none");
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], db);
  LoadControllerMappings(files, warnings);  // the missing second file is passed over quietly
  EXPECT_TRUE(SDL_IsGameController(index));
  EXPECT_EQ(Run(keys, {
                          [&](const SdlKeyState& k) {
                            EXPECT_EQ(k.ConnectedPads(), 1);
                            SDL_JoystickSetVirtualButton(PadAt(index), 3, SDL_PRESSED);
                          },
                          [&](const SdlKeyState& k) { EXPECT_TRUE(k.IsKeyDown(kGreenFire)); },
                      }),
            0);
  EXPECT_EQ(warnings.str(), "");
  std::remove(db.c_str());
  std::remove(folder.c_str());
}

TEST(ControllerMappings, ConfigFolderFollowsTheDesktopRules) {
  std::string saved = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
  bool had = getenv("XDG_CONFIG_HOME") != nullptr;
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(UserConfigFolder(), "/cfg/treadbrawl");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  setenv("HOME", "/home/p", 1);
  EXPECT_EQ(UserConfigFolder(), "/home/p/.config/treadbrawl");
  if (had)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ControllerMappingFiles("/game", "").size(), 1u);
}

}  // namespace
}  // namespace tb
