#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "SoundFaults.h"
#include "app/GameTargets.h"
#include "app/Wiring.h"
#include "platform/SdlGame.h"
#include "platform/SdlSound.h"
#include "platform/SystemClock.h"
#include "render/Raster.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

// The real player, counted.
struct CountedSound final : SoundPlayer {
  SdlSoundPlayer player;
  int plays = 0;
  void PlaySoundFile(const std::string& path) override {
    player.PlaySoundFile(path);
    ++plays;
  }
};

struct Outcome {
  long ticks = 0;
  int plays = 0, files = 0, alerts = 0, superseded = 0;
};

// The game as it runs for players: real window loop (dummy video), real sound player
// (dummy audio), real clock; only the keys are held down by the test. What a tick costs
// with each fault is measured by BM_TickWithSpoiltSounds.
Outcome PlayGame(Fault fault) {
  const fs::path folder = GameFolder(fault, TREADBRAWL_SOUNDS_DIR);
  GameOptions options;
  options.maxTicks = 110;
  Outcome out;
  {
    Raster raster(582, 555);
    SdlGame game(options);
    EXPECT_TRUE(game.Open(raster.Width(), raster.Height(), raster.Caption())) << game.Error();
    TriggerHappy keys;
    CountedSound sound;
    EXPECT_TRUE(sound.player.HasDevice());
    SystemClock clock;
    Pcg32 random(77, true);
    MainFrm form(raster, keys, sound, clock, random, folder.string());
    form.Load();
    MatchTarget target(form);
    EXPECT_EQ(game.Run(target, RasterPicture(raster), nullptr), 0);
    out.ticks = game.TicksRun();
    out.plays = sound.plays;
    EXPECT_TRUE(sound.player.WaitIdle(std::chrono::seconds(20)));
    out.superseded = sound.player.PlaysSuperseded();
    out.files = sound.player.FilesPlayed();
    out.alerts = sound.player.AlertsPlayed();
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return out;
}

TEST(SoundFaults, GameRunsOnWithTheAlert) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  for (Fault fault : {Fault::None, Fault::FolderMissing, Fault::Truncated, Fault::Directory,
                      Fault::Unconvertible, Fault::Long}) {
    SCOPED_TRACE(FaultName(fault));
    Outcome o = PlayGame(fault);
    EXPECT_EQ(o.ticks, 110);
    EXPECT_GE(o.plays, 8);  // four launches at once, and more a second later
    // Every play is heard, or cut by a later one before it was read.
    const bool good = fault == Fault::None || fault == Fault::Long;
    EXPECT_EQ((good ? o.files : o.alerts) + o.superseded, o.plays);
    EXPECT_GE(good ? o.files : o.alerts, 1);
    EXPECT_EQ(good ? o.alerts : o.files, 0);
  }
}

}  // namespace
}  // namespace tb
