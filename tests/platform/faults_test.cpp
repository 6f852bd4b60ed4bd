#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "WavFile.h"
#include "platform/SdlGame.h"
#include "platform/SdlSound.h"
#include "platform/SystemClock.h"
#include "render/Raster.h"
#include "shell/Controls.h"
#include "shell/MainFrm.h"
#include "shell/Random.h"

namespace tb {
namespace {

namespace fs = std::filesystem;

// Every player holds the fire key: grenades go off, then horns sound, from the first tick.
struct TriggerHappy final : KeyState {
  bool IsKeyDown(uint8_t key) const override {
    return std::any_of(std::begin(kPlayerKeys), std::end(kPlayerKeys),
                       [key](const PlayerKeys& p) { return p.Fire == key; });
  }
};

// Processor time of the calling thread: the work a play or a tick costs the game's thread,
// which a busy machine (the sanitizer soaks run beside this test) does not stretch as it
// stretches the wall clock.
int64_t ThreadMicros() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// The real player, counted: how many plays, and the longest one.
struct CountedSound final : SoundPlayer {
  SdlSoundPlayer player;
  int plays = 0;
  int64_t longestMicros = 0;
  void PlaySoundFile(const std::string& path) override {
    const int64_t begin = ThreadMicros();
    player.PlaySoundFile(path);
    ++plays;
    longestMicros = std::max(longestMicros, ThreadMicros() - begin);
  }
};

// The game's target, timed: how much work each tick takes.
class TimedTarget final : public TickTarget {
 public:
  explicit TimedTarget(MainFrm& form) : inner_(form) {}
  void Tick() override {
    const int64_t begin = ThreadMicros();
    inner_.Tick();
    micros.push_back(ThreadMicros() - begin);
  }
  void KeyDown(uint16_t keyCode, int shift) override { inner_.KeyDown(keyCode, shift); }
  bool Closed() const override { return inner_.Closed(); }
  std::vector<int64_t> micros;

 private:
  MainFrmTarget inner_;
};

enum class Fault { None, FolderMissing, Truncated, Directory, Unconvertible };

// A game folder whose Sounds are the built ones, spoilt in one way.
fs::path GameFolder(Fault fault) {
  fs::path dir = fs::temp_directory_path() / ("treadbrawl_faults_" + std::to_string(getpid()) +
                                              "_" + std::to_string(static_cast<int>(fault)));
  fs::remove_all(dir);
  fs::create_directories(dir);
  if (fault == Fault::FolderMissing) return dir;
  fs::copy(TREADBRAWL_SOUNDS_DIR, dir / "Sounds", fs::copy_options::recursive);
  const std::vector<uint8_t> mp3 = Wav(0x55, 1, 22050, 16, std::vector<uint8_t>(4000, 0x20));
  for (const auto& entry : fs::recursive_directory_iterator(dir / "Sounds")) {
    if (!entry.is_regular_file() || fault == Fault::None) continue;
    const fs::path file = entry.path();
    if (fault == Fault::Truncated) {
      fs::resize_file(file, 10);
    } else if (fault == Fault::Directory) {
      fs::remove(file);
      fs::create_directory(file);
    } else {
      std::ofstream(file, std::ios::binary | std::ios::trunc)
          .write(reinterpret_cast<const char*>(mp3.data()),
                 static_cast<std::streamsize>(mp3.size()));
    }
  }
  return dir;
}

struct Outcome {
  long ticks = 0;
  int plays = 0, files = 0, alerts = 0;
  int64_t longestPlayMicros = 0;
  int64_t slowTickMicros = 0;  // 95th percentile of a tick's work
};

// The game as it runs for players: real window loop (dummy video), real sound player
// (dummy audio), real clock; only the keys are held down by the test.
Outcome PlayGame(Fault fault) {
  const fs::path folder = GameFolder(fault);
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
    TimedTarget target(form);
    EXPECT_EQ(game.Run(target, raster, nullptr), 0);
    out.ticks = game.TicksRun();
    out.plays = sound.plays;
    out.files = sound.player.FilesPlayed();
    out.alerts = sound.player.AlertsPlayed();
    out.longestPlayMicros = sound.longestMicros;
    std::vector<int64_t>& m = target.micros;
    if (!m.empty()) {
      std::nth_element(m.begin(), m.begin() + m.size() * 95 / 100, m.end());
      out.slowTickMicros = m[m.size() * 95 / 100];
    }
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return out;
}

TEST(SoundFaults, GameRunsOnWithTheAlertAndKeepsItsPace) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const struct {
    Fault fault;
    const char* name;
  } cases[] = {{Fault::None, "sounds intact"},
               {Fault::FolderMissing, "Sounds folder missing"},
               {Fault::Truncated, "files cut to 10 bytes"},
               {Fault::Directory, "files are directories"},
               {Fault::Unconvertible, "files in a format SDL cannot convert"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = PlayGame(c.fault);
    EXPECT_EQ(o.ticks, 110);
    EXPECT_GE(o.plays, 8);  // four launches at once, and more a second later
    if (c.fault == Fault::None) {
      EXPECT_EQ(o.files, o.plays);
      EXPECT_EQ(o.alerts, 0);
    } else {
      EXPECT_EQ(o.alerts, o.plays);
      EXPECT_EQ(o.files, 0);
    }
    // A play, good or bad, costs far less than a frame, and so does a tick with its plays:
    // the game keeps its 20 ms pace.
    EXPECT_LT(o.longestPlayMicros, 20000);
    EXPECT_LT(o.slowTickMicros, 10000);
  }
}

}  // namespace
}  // namespace tb
